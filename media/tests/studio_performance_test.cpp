#include "media/studio_performance.h"

#include <gtest/gtest.h>

#include <limits>

#include "studio_test_fixtures.h"

namespace quillory {
namespace {

using Values = std::map<std::string, double>;
using Members = std::map<std::string, StudioStatisticValue>;
using testing::entry;

constexpr double inf = std::numeric_limits<double>::infinity();

// Each expected figure is present and right; each named absent one is missing.
void expectFigures(const Values& values, const Values& expected,
                   std::initializer_list<const char*> absent = {}) {
    for (const auto& [key, value] : expected) {
        EXPECT_TRUE(values.contains(key) && std::abs(values.at(key) - value) < 1e-9) << key;
    }
    for (const char* key : absent) {
        EXPECT_FALSE(values.contains(key)) << key;
    }
}

class StudioPerformanceTest : public ::testing::Test {
  protected:
    std::unique_ptr<StudioPerformance> make(std::string role, int capacity = 8) {
        return std::make_unique<StudioPerformance>(Uuid::random(), std::move(role), 1920, capacity,
                                                   std::map<std::string, std::string>{},
                                                   testing::fakeEnvironment(clock));
    }

    // A sender report at `seconds` of the statistics clock, with the clock moved to match.
    StudioStatisticsReport senderReport(double seconds, double frames, Members extra = {}) {
        clock->set(static_cast<std::uint64_t>((10.0 + seconds) * 1e9));
        Members members{
            {"framesEncoded", frames},      {"totalEncodeTime", frames * 0.005},
            {"bytesSent", frames * 1000.0}, {"retransmittedBytesSent", frames * 10.0},
            {"packetsSent", frames * 2.0},  {"qpSum", frames * 30.0},
            {"targetBitrate", 8e6},         {"frameWidth", 1920.0},
            {"frameHeight", 1080.0},        {"qualityLimitationReason", std::string("bandwidth")},
            {"mid", std::string("0")}};
        for (auto& [key, value] : extra) {
            members[key] = value;
        }
        return {{entry("OT01", "outbound-rtp", seconds, std::move(members))}};
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(10'000'000'000);
};

TEST_F(StudioPerformanceTest, SenderMeasuresTheIntervalBetweenTwoReports) {
    auto performance = make("sender");
    int published = 0;
    performance->onPublished = [&] { ++published; };
    EXPECT_EQ(performance->summary(), "Measuring…");

    performance->parseStatistics(senderReport(1.0, 600.0), {});
    EXPECT_EQ(performance->summary(), "fps: unavailable · ms encode: unavailable");
    expectFigures(performance->samples()[0].values, {{"thermalState", 1.0}}, {"fps"});

    performance->parseStatistics(senderReport(2.0, 660.0), {});
    ASSERT_EQ(performance->samples().size(), 2u);
    const StudioPerformance::Sample& second = performance->samples()[1];
    expectFigures(second.values, {{"fps", 60.0},
                                  {"encodeMS", 5.0},
                                  {"framesEncoded", 60.0},
                                  {"originalPayloadBitrateBps", 60.0 * 990.0 * 8.0},
                                  {"retransmissionPercent", 1.0},
                                  {"meanQP", 30.0}});
    EXPECT_EQ(second.limitation, "bandwidth");
    EXPECT_NEAR(second.elapsedSeconds, 2.0, 1e-9);
    EXPECT_EQ(performance->summary(), "60.0 fps · 5.0 ms encode");
    EXPECT_EQ(published, 2);
}

TEST_F(StudioPerformanceTest, ReportsThatCannotBeMeasuredAppendNothing) {
    auto performance = make("sender");
    performance->parseStatistics(senderReport(5.0, 600.0), {});
    // Not newer than the baseline, a time that is not a number, no frame counter, the wrong
    // side's entry, and a mistyped frame counter.
    const StudioStatisticsReport unusable[] = {
        senderReport(5.0, 660.0),
        {{entry("OT01", "outbound-rtp", std::numeric_limits<double>::quiet_NaN(),
                {{"framesEncoded", 700.0}})}},
        {{entry("OT01", "outbound-rtp", 7.0, {{"bytesSent", 1.0}})}},
        {{entry("IT01", "inbound-rtp", 8.0, {{"framesDecoded", 1.0}})}},
        {{entry("OT01", "outbound-rtp", 9.0, {{"framesEncoded", std::string("720")}})}}};
    for (const StudioStatisticsReport& report : unusable) {
        performance->parseStatistics(report, {});
    }
    EXPECT_EQ(performance->samples().size(), 1u);

    // The baseline kept its time and values: the next report measures from it.
    performance->parseStatistics(senderReport(6.0, 630.0), {});
    ASSERT_EQ(performance->samples().size(), 2u);
    EXPECT_NEAR(performance->samples()[1].values.at("fps"), 30.0, 1e-9);
}

TEST_F(StudioPerformanceTest, CountersThatWentBackOrChangedTypeGiveNoFigures) {
    auto performance = make("sender");
    performance->parseStatistics(senderReport(1.0, 600.0), {});
    // More retransmitted than sent in all: the split is left out.
    performance->parseStatistics(senderReport(2.0, 660.0, {{"retransmittedBytesSent", 1e9}}), {});
    expectFigures(
        performance->samples().back().values, {{"bitrateBps", 60'000.0 * 8.0}},
        {"originalPayloadBitrateBps", "retransmissionBitrateBps", "retransmissionPercent"});

    // The encoder restarted: frames went back, so every measure from them is missing, while
    // figures from other counters remain. A text where a number belongs counts as missing.
    // Measures whose rule keeps a caller's value do so when they cannot be formed.
    performance->parseStatistics(senderReport(3.0, 10.0,
                                              {{"bytesSent", 760'000.0},
                                               {"retransmittedBytesSent", std::string("lots")},
                                               {"qpSum", true}}),
                                 {{"fps", 99.0}, {"meanQP", 1.0}, {"retransmissionPercent", 7.0}});
    expectFigures(performance->samples().back().values,
                  {{"bitrateBps", 100'000.0 * 8.0}, {"retransmissionPercent", 7.0}},
                  {"fps", "encodeMS", "meanQP", "framesEncoded", "originalPayloadBitrateBps"});
}

TEST_F(StudioPerformanceTest, WindowKeepsTheLatestSamples) {
    auto performance = make("sender", 0);
    EXPECT_EQ(performance->capacity(), 1);
    for (int k = 1; k <= 4; ++k) {
        performance->parseStatistics(senderReport(k, 60.0 * k), {});
    }
    ASSERT_EQ(performance->samples().size(), 1u);
    EXPECT_EQ(performance->discarded(), 3);
    EXPECT_NEAR(performance->samples()[0].elapsedSeconds, 4.0, 1e-9);
}

StudioStatisticsReport receiverReport(double seconds, double frames) {
    return {{entry("IT01", "inbound-rtp", seconds,
                   {{"framesDecoded", frames},
                    {"bytesReceived", frames * 900.0},
                    {"totalDecodeTime", frames * 0.003},
                    {"jitterBufferDelay", frames * 0.02},
                    {"jitterBufferEmittedCount", frames},
                    {"totalInterFrameDelay", frames / 60.0},
                    // Rounding makes the variance come out a little below zero.
                    {"totalSquaredInterFrameDelay", frames / 3600.0 * 0.999},
                    {"packetsLost", frames / 60.0},
                    {"packetsReceived", frames * 2.0 - frames / 60.0}})}};
}

TEST_F(StudioPerformanceTest, ReceiverMeasuresBufferDecodeLossAndRendererFigures) {
    auto performance = make("receiver");
    performance->parseStatistics(
        receiverReport(1.0, 600.0),
        {{"rendererPresentedFPS", 58.3}, {"rendererPresentationTimingAvailable", 0.0}});
    EXPECT_EQ(performance->summary(),
              "fps: unavailable · ms buffer: unavailable · ms decode: unavailable · 58.3 fps "
              "shown · native renderer (display timing unavailable)");
    performance->parseStatistics(receiverReport(2.0, 660.0),
                                 {{"rendererArrivalToPresentMS", 6.25},
                                  {"rendererPresentationTimingAvailable", 0.0},
                                  {"rendererPresentedFPS", inf}});
    expectFigures(performance->samples().back().values,
                  {{"fps", 60.0},
                   {"bufferMS", 20.0},
                   {"interFrameStdDevMS", 0.0},
                   {"lossPercent", 100.0 / 120.0}},
                  {"encoderTargetBitrateBps", "rendererPresentedFPS"});
    EXPECT_EQ(performance->summary(),
              "60.0 fps · 20.0 ms buffer · 3.0 ms decode · 6.2 ms display wait");

    // Any other role reads the receiving side but never the renderer parts.
    auto viewer = make("viewer");
    viewer->parseStatistics(receiverReport(1.0, 600.0), {{"rendererPresentedFPS", 58.3}});
    EXPECT_EQ(viewer->samples().size(), 1u);
    EXPECT_EQ(viewer->summary(),
              "fps: unavailable · ms buffer: unavailable · ms decode: unavailable");
}

TEST_F(StudioPerformanceTest, RouteCandidatesAndCodecGoToTheConfiguration) {
    auto performance = make("sender");
    auto report = [&](double seconds, const std::string& pair) {
        StudioStatisticsReport r =
            senderReport(seconds, 60.0 * seconds, {{"codecId", std::string("C1")}});
        r.statistics.push_back(
            entry("T1", "transport", seconds, {{"selectedCandidatePairId", pair}}));
        r.statistics.push_back(entry("P1", "candidate-pair", seconds,
                                     {{"localCandidateId", std::string("L1")},
                                      {"remoteCandidateId", std::string("R1")},
                                      {"currentRoundTripTime", 0.012},
                                      {"availableOutgoingBitrate", 9e6}}));
        r.statistics.push_back(entry("P2", "candidate-pair", seconds,
                                     {{"localCandidateId", std::string("L2")},
                                      {"currentRoundTripTime", std::string("fast")}}));
        r.statistics.push_back(entry("L1", "local-candidate", seconds,
                                     {{"address", std::string("127.0.0.1")},
                                      {"networkType", std::string("ethernet")},
                                      {"candidateType", std::string("host")},
                                      {"protocol", std::string("udp")}}));
        r.statistics.push_back(entry("L2", "local-candidate", seconds,
                                     {{"address", 5.0}, {"ip", std::string("203.0.113.77")}}));
        r.statistics.push_back(entry("R1", "remote-candidate", seconds,
                                     {{"candidateType", std::string("host")}, {"protocol", 17.0}}));
        r.statistics.push_back(
            entry("C1", "codec", seconds,
                  {{"mimeType", std::string("video/H264")},
                   {"sdpFmtpLine", std::string("level-asymmetry-allowed=1;packetization-"
                                               "mode=1; profile-level-id=42e034")}}));
        return r;
    };
    performance->parseStatistics(report(1.0, "P1"), {});
    std::map<std::string, std::string> expected{
        {"localMediaInterface", "lo"},        {"localMediaNetworkType", "ethernet"},
        {"localMediaCandidateType", "host"},  {"localMediaProtocol", "udp"},
        {"remoteMediaCandidateType", "host"}, {"negotiatedCodec", "video/H264"},
        {"negotiatedProfileLevel", "42e034"}};
    EXPECT_EQ(performance->configuration(), expected);
    expectFigures(
        performance->samples().back().values,
        {{"mediaRTTMS", 12.0}, {"availableOutgoingBitrateBps", 9e6}, {"mediaRouteChanges", 0.0}});

    // A new pair: the old route is forgotten before the new one is read, and the figures the
    // new pair lacks are removed even when the caller passed them.
    performance->parseStatistics(report(2.0, "P2"), {{"mediaRTTMS", 3.0}});
    EXPECT_EQ(performance->routeChanges(), 1);
    EXPECT_EQ(performance->selectedPair(), "P2");
    expected = {{"negotiatedCodec", "video/H264"}, {"negotiatedProfileLevel", "42e034"}};
    EXPECT_EQ(performance->configuration(), expected);
    expectFigures(performance->samples().back().values, {{"mediaRouteChanges", 1.0}},
                  {"mediaRTTMS", "availableOutgoingBitrateBps"});

    // A transport that names a pair the report lacks gives no route figures.
    StudioStatisticsReport broken = senderReport(3.0, 180.0);
    broken.statistics.push_back(
        entry("T1", "transport", 3.0, {{"selectedCandidatePairId", std::string("P9")}}));
    performance->parseStatistics(broken, {});
    EXPECT_EQ(performance->routeChanges(), 1);
    EXPECT_FALSE(performance->samples().back().values.contains("mediaRouteChanges"));
}

TEST_F(StudioPerformanceTest, ProfileLevelIsCutAtSixCharacters) {
    auto performance = make("sender");
    const auto level = [&](const std::string& fmtp) {
        StudioStatisticsReport r =
            senderReport(1.0, 60.0, {{"codecId", std::string("C1")}, {"framesEncoded", true}});
        r.statistics.push_back(entry("C1", "codec", 1.0, {{"sdpFmtpLine", fmtp}}));
        performance->parseStatistics(r, {});
        return performance->configuration().at("negotiatedProfileLevel");
    };
    EXPECT_EQ(level("profile-level-id=640c1fXYZ"), "640c1f");
    EXPECT_EQ(level(";; profile-level-id=4 ;x=1"), "4");
    EXPECT_EQ(level("profile-level-id=; profile-level-id=42e01f"), "");
}

TEST_F(StudioPerformanceTest, ControlConnectionEndAndPresetGoToTheConfigurationAndTrace) {
    auto environment = testing::fakeEnvironment(clock);
    environment.trace = std::make_shared<StudioPerformanceTrace>(8, 8, clock->nowSeconds());
    StudioPerformance performance(Uuid::random(), "sender", std::nullopt, 4,
                                  {{"preset", "quality"}}, environment);
    performance.notePreset("responsive");
    performance.noteControlConnectionEnded("interrupted", "heartbeatExpired", 3, 12, 3.0);
    EXPECT_EQ(performance.configuration().at("preset"), "responsive");
    EXPECT_EQ(performance.configuration().at("controlEndInboundAgeMS"), "3.0");
    performance.noteControlConnectionEnded("stopped", "", 0, 0, inf);

    const auto events = environment.trace->snapshot().recentEvents;
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].stage, StudioPerformanceTrace::Stage::presetApplied);
    EXPECT_EQ(events[1].value, 3.0);
    EXPECT_EQ(events[2].stage, StudioPerformanceTrace::Stage::controlConnectionEnded);
    EXPECT_FALSE(events[2].value);
}

TEST(StudioPerformanceInterfaceTest, FindsTheInterfaceOfALocalAddress) {
    EXPECT_EQ(StudioPerformance::interfaceName("127.0.0.1"), "lo");
    EXPECT_EQ(StudioPerformance::interfaceName("127.0.0.1%zone"), "lo");
    EXPECT_EQ(StudioPerformance::interfaceName("%127.0.0.1"), "lo");
    EXPECT_FALSE(StudioPerformance::interfaceName("203.0.113.77"));
    EXPECT_FALSE(StudioPerformance::interfaceName(""));
    EXPECT_FALSE(StudioPerformance::interfaceName("%%"));
}

}  // namespace
}  // namespace quillory
