#include "app/studio/bench/glass_to_glass_measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quillory::bench {
namespace {

TEST(GlassToGlassMeasures, PercentileInterpolatesBetweenRanksOfUnsortedSamples) {
    struct Case {
        std::vector<double> samples;
        double fraction;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {{}, 0.5, std::nullopt},  {{7}, 0.95, 7},       {{3, 1, 2}, 0.5, 2},
        {{4, 1, 3, 2}, 0.5, 2.5}, {{10, 0}, 0.95, 9.5}, {{5, 1, 9}, 0.0, 1},
        {{5, 1, 9}, 1.0, 9},      {{5, 1, 9}, 1.5, 9},  // clamped, never past the end
    };
    for (const auto& c : cases) {
        const auto value = percentile(c.samples, c.fraction);
        ASSERT_EQ(value.has_value(), c.expected.has_value());
        if (value) {
            EXPECT_DOUBLE_EQ(*value, *c.expected) << c.fraction;
        }
    }
}

TEST(GlassToGlassMeasures, PaintLinesAreTheCounterRecordsOnly) {
    struct Case {
        const char* line;
        std::optional<std::uint32_t> counter;
        std::int64_t time = 0;
    };
    const Case cases[] = {
        {R"({"counter":12,"time":987654321012})", 12, 987654321012},
        {R"({"counter":4294967295,"time":1})", 4294967295u, 1},
        {R"({"event":"ack","command":"move","counter":3})", std::nullopt},
        {R"({"event":"ready","window":4194305,"pid":77})", std::nullopt},
        {R"({"counter":12})", std::nullopt},
        {R"({"counter":-1,"time":5})", std::nullopt},
        {R"({"counter":4294967296,"time":5})", std::nullopt},
        {R"({"counter":1x,"time":5})", std::nullopt},
        {"", std::nullopt},
        {"counter 1 time 2", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto record = parsePaintLine(c.line);
        ASSERT_EQ(record.has_value(), c.counter.has_value()) << c.line;
        if (record) {
            EXPECT_EQ(record->counter, *c.counter);
            EXPECT_EQ(record->timeNanoseconds, c.time);
        }
    }
}

TEST(GlassToGlassMeasures, GlassToGlassTakesEachCounterFirstDecodeAgainstItsPaint) {
    const std::map<std::uint32_t, std::int64_t> painted{
        {1, 1'000'000'000}, {2, 1'016'000'000}, {3, 1'033'000'000}};
    const std::vector<DecodedCounter> decoded{
        {1, 1'012'000'000}, {1, 1'030'000'000},  // the same picture captured twice
        {2, 1'010'000'000},                      // before its paint: not a real frame
        {3, 1'050'500'000}, {9, 1'060'000'000},  // never logged
    };
    const auto delays = glassToGlassMilliseconds(painted, decoded);
    ASSERT_EQ(delays.size(), 2u);
    EXPECT_DOUBLE_EQ(delays[0], 12.0);
    EXPECT_DOUBLE_EQ(delays[1], 17.5);
}

TEST(GlassToGlassMeasures, LumaPSNRFollowsTheMeanSquaredErrorAndHonoursStrides) {
    constexpr int width = 4, height = 2;
    // Padding bytes differ wildly; only the pictures count.
    std::vector<std::uint8_t> picture(8 * height, 0), reference(6 * height, 255);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture[static_cast<std::size_t>(y * 8 + x)] = 100;
            reference[static_cast<std::size_t>(y * 6 + x)] = 100;
        }
    }
    EXPECT_DOUBLE_EQ(lumaPSNR(picture.data(), 8, reference.data(), 6, width, height),
                     identicalDecibels);
    // One pixel off by 16 in 8: MSE 32.
    picture[1] = 116;
    EXPECT_NEAR(lumaPSNR(picture.data(), 8, reference.data(), 6, width, height),
                10 * std::log10(255.0 * 255.0 / 32.0), 1e-9);
    // Every pixel off by 255: 0 dB.
    std::vector<std::uint8_t> black(8, 0), white(8, 255);
    EXPECT_NEAR(lumaPSNR(black.data(), 4, white.data(), 4, width, height), 0.0, 1e-9);
}

TEST(GlassToGlassMeasures, CpuTicksAreUserPlusSystemTimeWhateverTheCommandName) {
    struct Case {
        const char* text;
        std::optional<std::uint64_t> ticks;
    };
    const Case cases[] = {
        {"4242 (studio_glass) S 1 4242 4242 0 -1 4194304 100 0 0 0 250 50 0 0 20 0 9 0 77", 300},
        {"7 (a (b) c) R 1 7 7 0 -1 0 0 0 0 0 11 22 0 0 20 0 1 0 5", 33},
        {"7 (x) S 1 7 7 0 -1 0 0 0 0 0 11", std::nullopt},
        {"7 (x) S 1 7 7 0 -1 0 0 0 0 0 1a 2 0", std::nullopt},
        {"7 x S 1 7 7 0 -1 0 0 0 0 0 11 22 0", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(processCpuTicks(c.text), c.ticks) << c.text;
    }
}

TEST(GlassToGlassMeasures, HostShareCountsEachCaptureOnceInsideTheWindow) {
    const std::vector<EncodedOutput> outputs{
        {9.990, 9'985'000'000},    // before the window
        {10.004, 9'998'000'000},   // 6 ms
        {10.006, 9'998'000'000},   // the same capture again
        {10.020, 10'012'500'000},  // 7.5 ms
        {11.000, 10'990'000'000},  // at the window's end: outside
    };
    const auto delays = hostShareMilliseconds(outputs, 10.0, 11.0);
    ASSERT_EQ(delays.size(), 2u);
    EXPECT_NEAR(delays[0], 6.0, 1e-6);
    EXPECT_NEAR(delays[1], 7.5, 1e-6);
}

TEST(GlassToGlassMeasures, TheBreakdownSplitsEachFrameAtItsFirstCaptureAfterThePaint) {
    const std::map<std::uint32_t, std::int64_t> painted{
        {1, 1'000'000'000}, {2, 1'016'000'000}, {3, 1'033'000'000}, {4, 1'050'000'000}};
    // Out of order, as the trace's ring may give them.
    const std::vector<EncodedOutput> outputs{
        {1.030, 1'022'000'000},  // picks up counter 2 at 6 ms
        {1.012, 1'004'000'000},  // counter 1, 4 ms after its paint
        {1.070, 1'060'000'000},  // counter 4, handed on after its decode below
    };
    const std::vector<DecodedCounter> decoded{
        {1, 1'015'000'000},
        {1, 1'031'000'000},  // a repeat
        {2, 1'034'500'000},
        {3, 1'080'000'000},  // no capture of its own: matched to the next one, 1.060
        {4, 1'065'000'000},
        {7, 1'090'000'000},  // never painted
    };
    const auto breakdown = latencyBreakdown(painted, decoded, outputs);
    const std::vector<double> paint{4, 6, 27}, capture{8, 8, 10}, decode{3, 4.5, 10};
    ASSERT_EQ(breakdown.paintToCapture.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(breakdown.paintToCapture[i], paint[i], 1e-6) << i;
        EXPECT_NEAR(breakdown.captureToPacketizer[i], capture[i], 1e-6) << i;
        EXPECT_NEAR(breakdown.packetizerToDecode[i], decode[i], 1e-6) << i;
    }
}

TEST(GlassToGlassMeasures, TheOfferedProfileIsTheFirstThreeByteValue) {
    struct Case {
        const char* sdp;
        std::optional<std::string> profile;
    };
    const Case cases[] = {
        {"a=fmtp:96 packetization-mode=1;profile-level-id=42C02A;level-asymmetry-allowed=1\r\n",
         "42c02a"},
        {"a=fmtp:96 profile-level-id=640c34\r\na=fmtp:97 profile-level-id=42e034\r\n", "640c34"},
        {"a=fmtp:96 profile-level-id=42e0\r\na=fmtp:97 profile-level-id=42e01f", "42e01f"},
        {"a=fmtp:96 profile-level-id=42e01f0\r\n", std::nullopt},
        {"a=fmtp:96 profile-level-id=zz001f\r\n", std::nullopt},
        {"a=rtpmap:96 H264/90000\r\n", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(offeredProfileLevelId(c.sdp), c.profile) << c.sdp;
    }
}

}  // namespace
}  // namespace quillory::bench
