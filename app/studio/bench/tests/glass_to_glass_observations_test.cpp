#include "app/studio/bench/glass_to_glass_observations.h"

#include <gtest/gtest.h>

namespace quillory::bench {
namespace {

constexpr std::int64_t second = 1'000'000'000;

GlassToGlassObservations::Settings small() {
    return {.width = 4, .height = 2, .steadyFrames = 3, .keepEvery = 2};
}

const std::vector<std::uint8_t> fullLuma(8, 100);
const std::vector<std::uint8_t> smallLuma(2, 50);

TEST(GlassToGlassObservations, SteadyNeedsEnoughFullSizeFramesWithinTheLastSecond) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::int64_t, int>> frames;  // decode time, width
        bool steady;
    };
    const Case cases[] = {
        {"too few", {{10, 4}, {20, 4}}, false},
        {"enough", {{10, 4}, {20, 4}, {30, 4}}, true},
        {"smaller frames do not count", {{10, 4}, {20, 2}, {30, 4}, {40, 2}}, false},
        {"a second old drops out", {{10, 4}, {20, 4}, {10 + second, 4}}, false},
        {"just within the second", {{10, 4}, {20, 4}, {9 + second, 4}}, true},
    };
    for (const auto& c : cases) {
        GlassToGlassObservations observations(small());
        for (const auto& [at, width] : c.frames) {
            observations.decoded(std::nullopt, width, width == 4 ? 2 : 1, at,
                                 width == 4 ? fullLuma : smallLuma);
        }
        EXPECT_EQ(observations.waitUntilSteady(0), c.steady) << c.name;
    }
}

TEST(GlassToGlassObservations, ARestartForgetsThePreviousStreamsFrames) {
    GlassToGlassObservations observations(small());
    for (std::int64_t at : {10, 20, 30}) {
        observations.decoded(std::nullopt, 4, 2, at, fullLuma);
    }
    ASSERT_TRUE(observations.waitUntilSteady(0));
    observations.restart();
    EXPECT_FALSE(observations.waitUntilSteady(0));
}

TEST(GlassToGlassObservations, TheResultCoversTheMeasuredWindowOnly) {
    GlassToGlassObservations observations(small());
    for (std::uint32_t counter = 1; counter <= 6; ++counter) {
        observations.painted({counter, counter * 10 * second});
    }
    // Before measuring: not collected.
    observations.decoded(1, 4, 2, 10 * second + 5'000'000, fullLuma);
    observations.setMeasuring(true);
    observations.decoded(2, 4, 2, 20 * second + 10'000'000, fullLuma);
    observations.decoded(2, 4, 2, 20 * second + 30'000'000, fullLuma);  // a repeat
    observations.decoded(std::nullopt, 4, 2, 25 * second, fullLuma);
    observations.decoded(3, 2, 1, 30 * second + 20'000'000, smallLuma);
    observations.decoded(4, 4, 2, 40 * second + 12'000'000, fullLuma);
    observations.decoded(5, 4, 2, 99 * second, fullLuma);  // after the window
    observations.setMeasuring(false);
    observations.decoded(6, 4, 2, 60 * second + 1'000'000, fullLuma);

    const auto result = observations.result(20 * second, 50 * second);
    EXPECT_EQ(result.frames, 3u);
    EXPECT_EQ(result.unidentified, 1);
    ASSERT_EQ(result.glassToGlassMilliseconds.size(), 3u);
    EXPECT_DOUBLE_EQ(result.glassToGlassMilliseconds[0], 10);
    EXPECT_DOUBLE_EQ(result.glassToGlassMilliseconds[1], 20);
    EXPECT_DOUBLE_EQ(result.glassToGlassMilliseconds[2], 12);
    EXPECT_EQ(result.size, std::make_pair(4, 2));
    // Every second identified frame, whatever its size, with its own pixels.
    ASSERT_EQ(result.kept.size(), 2u);
    EXPECT_EQ(result.kept[0].counter, 2u);
    EXPECT_EQ(result.kept[1].counter, 4u);
    EXPECT_EQ(result.kept[1].luma, fullLuma);

    // Measuring again starts afresh.
    observations.setMeasuring(true);
    EXPECT_EQ(observations.result(0, 100 * second).frames, 0u);
}

}  // namespace
}  // namespace quillory::bench
