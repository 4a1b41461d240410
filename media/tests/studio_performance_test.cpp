#include "media/studio_performance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "media/tests/studio_performance_fixtures.h"

namespace quillory {
namespace {

using Values = std::map<std::string, double>;
using Members = std::map<std::string, StudioStatisticValue>;
using testing::entry;

constexpr double inf = std::numeric_limits<double>::infinity();

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
    ASSERT_EQ(performance->samples().size(), 1u);
    EXPECT_EQ(performance->summary(), "fps: unavailable · ms encode: unavailable");
    const Values& first = performance->samples()[0].values;
    EXPECT_EQ(first.at("thermalState"), 1.0);
    EXPECT_EQ(first.at("frameWidth"), 1920.0);
    EXPECT_EQ(first.at("encoderTargetBitrateBps"), 8e6);
    EXPECT_FALSE(first.contains("fps"));
    EXPECT_FALSE(first.contains("framesEncoded"));

    performance->parseStatistics(senderReport(2.0, 660.0), {});
    ASSERT_EQ(performance->samples().size(), 2u);
    const StudioPerformance::Sample& second = performance->samples()[1];
    EXPECT_NEAR(second.values.at("fps"), 60.0, 1e-9);
    EXPECT_NEAR(second.values.at("encodeMS"), 5.0, 1e-9);
    EXPECT_NEAR(second.values.at("framesEncoded"), 60.0, 1e-9);
    EXPECT_NEAR(second.values.at("bitrateBps"), 60.0 * 1000.0 * 8.0, 1e-9);
    EXPECT_NEAR(second.values.at("originalPayloadBitrateBps"), 60.0 * 990.0 * 8.0, 1e-9);
    EXPECT_NEAR(second.values.at("retransmissionBitrateBps"), 60.0 * 10.0 * 8.0, 1e-9);
    EXPECT_NEAR(second.values.at("retransmissionPercent"), 1.0, 1e-9);
    EXPECT_NEAR(second.values.at("meanQP"), 30.0, 1e-9);
    EXPECT_NEAR(second.values.at("packetsSent"), 120.0, 1e-9);
    EXPECT_EQ(second.limitation, "bandwidth");
    EXPECT_NEAR(second.elapsedSeconds, 2.0, 1e-9);
    EXPECT_EQ(performance->summary(), "60.0 fps · 5.0 ms encode");
    EXPECT_EQ(published, 2);
}

TEST_F(StudioPerformanceTest, ReportsThatCannotBeMeasuredAppendNothing) {
    auto performance = make("sender");
    performance->parseStatistics(senderReport(5.0, 600.0), {});
    // Not newer than the baseline, a time that is not a number, and no frame counter.
    performance->parseStatistics(senderReport(5.0, 660.0), {});
    performance->parseStatistics(
        {{entry("OT01", "outbound-rtp", std::numeric_limits<double>::quiet_NaN(),
                {{"framesEncoded", 700.0}})}},
        {});
    performance->parseStatistics({{entry("OT01", "outbound-rtp", 7.0, {{"bytesSent", 1.0}})}}, {});
    // The wrong side's entry, and a mistyped frame counter.
    performance->parseStatistics({{entry("IT01", "inbound-rtp", 8.0, {{"framesDecoded", 1.0}})}},
                                 {});
    performance->parseStatistics(
        {{entry("OT01", "outbound-rtp", 9.0, {{"framesEncoded", std::string("720")}})}}, {});
    EXPECT_EQ(performance->samples().size(), 1u);

    // The baseline kept its time and values: the next report measures from it.
    performance->parseStatistics(senderReport(6.0, 630.0), {});
    ASSERT_EQ(performance->samples().size(), 2u);
    EXPECT_NEAR(performance->samples()[1].values.at("fps"), 30.0, 1e-9);
}

TEST_F(StudioPerformanceTest, CountersThatWentBackOrChangedTypeGiveNoFigures) {
    auto performance = make("sender");
    performance->parseStatistics(senderReport(1.0, 600.0), {});
    // The encoder restarted: frames went back, so every measure from them is missing, while
    // figures from other counters remain. A text where a number belongs counts as missing.
    performance->parseStatistics(senderReport(2.0, 10.0,
                                              {{"bytesSent", 700'000.0},
                                               {"retransmittedBytesSent", std::string("lots")},
                                               {"qpSum", true}}),
                                 {{"fps", 99.0}, {"meanQP", 1.0}, {"retransmissionPercent", 7.0}});
    const Values& values = performance->samples().back().values;
    EXPECT_FALSE(values.contains("fps"));
    EXPECT_FALSE(values.contains("encodeMS"));
    EXPECT_FALSE(values.contains("meanQP"));
    EXPECT_FALSE(values.contains("framesEncoded"));
    EXPECT_FALSE(values.contains("originalPayloadBitrateBps"));
    EXPECT_NEAR(values.at("bitrateBps"), 100'000.0 * 8.0, 1e-9);
    // Measures whose rule keeps a caller's value do so when they cannot be formed.
    EXPECT_EQ(values.at("retransmissionPercent"), 7.0);
}

TEST_F(StudioPerformanceTest, RetransmissionLargerThanTrafficIsLeftOut) {
    auto performance = make("sender");
    performance->parseStatistics(senderReport(1.0, 600.0), {});
    performance->parseStatistics(senderReport(2.0, 660.0, {{"retransmittedBytesSent", 1e9}}), {});
    const Values& values = performance->samples().back().values;
    EXPECT_FALSE(values.contains("originalPayloadBitrateBps"));
    EXPECT_FALSE(values.contains("retransmissionBitrateBps"));
    EXPECT_FALSE(values.contains("retransmissionPercent"));
    EXPECT_TRUE(values.contains("bitrateBps"));
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
                    {"framesReceived", frames + 2.0},
                    {"bytesReceived", frames * 900.0},
                    {"totalDecodeTime", frames * 0.003},
                    {"jitterBufferDelay", frames * 0.02},
                    {"jitterBufferTargetDelay", frames * 0.015},
                    {"jitterBufferMinimumDelay", frames * 0.01},
                    {"jitterBufferEmittedCount", frames},
                    {"totalInterFrameDelay", frames / 60.0},
                    // Rounding makes the variance come out a little below zero.
                    {"totalSquaredInterFrameDelay", frames / 3600.0 * 0.999},
                    {"packetsLost", frames / 60.0},
                    {"packetsReceived", frames * 2.0 - frames / 60.0},
                    {"totalFreezesDuration", 0.0},
                    {"jitter", 0.004}})}};
}

TEST_F(StudioPerformanceTest, ReceiverMeasuresBufferDecodeAndLoss) {
    auto performance = make("receiver");
    performance->parseStatistics(receiverReport(1.0, 600.0), {});
    EXPECT_EQ(performance->summary(),
              "fps: unavailable · ms buffer: unavailable · ms decode: unavailable");
    performance->parseStatistics(receiverReport(2.0, 660.0), {});
    const Values& values = performance->samples().back().values;
    EXPECT_NEAR(values.at("fps"), 60.0, 1e-9);
    EXPECT_NEAR(values.at("bufferMS"), 20.0, 1e-9);
    EXPECT_NEAR(values.at("bufferTargetMS"), 15.0, 1e-9);
    EXPECT_NEAR(values.at("bufferMinimumMS"), 10.0, 1e-9);
    EXPECT_NEAR(values.at("decodeMS"), 3.0, 1e-9);
    EXPECT_NEAR(values.at("jitterMS"), 4.0, 1e-9);
    EXPECT_NEAR(values.at("interFrameMeanMS"), 1000.0 / 60.0, 1e-9);
    EXPECT_EQ(values.at("interFrameStdDevMS"), 0.0);
    EXPECT_NEAR(values.at("lossPercent"), 100.0 / 120.0, 1e-9);
    EXPECT_NEAR(values.at("freezeSeconds"), 0.0, 1e-9);
    EXPECT_NEAR(values.at("framesReceived"), 60.0, 1e-9);
    EXPECT_FALSE(values.contains("encoderTargetBitrateBps"));
    EXPECT_EQ(performance->summary(), "60.0 fps · 20.0 ms buffer · 3.0 ms decode");
}

TEST_F(StudioPerformanceTest, ReceiverSummaryNamesRendererFigures) {
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
    EXPECT_EQ(performance->summary(),
              "60.0 fps · 20.0 ms buffer · 3.0 ms decode · 6.2 ms display wait");
    EXPECT_FALSE(performance->samples().back().values.contains("rendererPresentedFPS"));

    // Any other role reads the receiving side but never the renderer parts.
    auto viewer = make("viewer");
    viewer->parseStatistics(receiverReport(1.0, 600.0), {{"rendererPresentedFPS", 58.3}});
    EXPECT_EQ(viewer->samples().size(), 1u);
    EXPECT_EQ(viewer->summary(),
              "fps: unavailable · ms buffer: unavailable · ms decode: unavailable");
}

TEST_F(StudioPerformanceTest, RouteCandidatesAndCodecGoToTheConfiguration) {
    const auto local = testing::someLocalAddress();
    if (!local) {
        GTEST_SKIP() << "no IPv4 address on this machine";
    }
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
                                     {{"address", local->first},
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
        {"localMediaInterface", local->second}, {"localMediaNetworkType", "ethernet"},
        {"localMediaCandidateType", "host"},    {"localMediaProtocol", "udp"},
        {"remoteMediaCandidateType", "host"},   {"negotiatedCodec", "video/H264"},
        {"negotiatedProfileLevel", "42e034"}};
    EXPECT_EQ(performance->configuration(), expected);
    Values values = performance->samples().back().values;
    EXPECT_NEAR(values.at("mediaRTTMS"), 12.0, 1e-9);
    EXPECT_EQ(values.at("availableOutgoingBitrateBps"), 9e6);
    EXPECT_EQ(values.at("mediaRouteChanges"), 0.0);
    EXPECT_EQ(performance->routeChanges(), 0);

    // A new pair: the old route is forgotten before the new one is read, and the figures the
    // new pair lacks are removed even when the caller passed them.
    performance->parseStatistics(report(2.0, "P2"), {{"mediaRTTMS", 3.0}});
    EXPECT_EQ(performance->routeChanges(), 1);
    EXPECT_EQ(performance->selectedPair(), "P2");
    expected = {{"negotiatedCodec", "video/H264"}, {"negotiatedProfileLevel", "42e034"}};
    EXPECT_EQ(performance->configuration(), expected);
    values = performance->samples().back().values;
    EXPECT_EQ(values.at("mediaRouteChanges"), 1.0);
    EXPECT_FALSE(values.contains("mediaRTTMS"));
    EXPECT_FALSE(values.contains("availableOutgoingBitrateBps"));

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
        const auto found = performance->configuration().find("negotiatedProfileLevel");
        return found == performance->configuration().end() ? std::string("-") : found->second;
    };
    EXPECT_EQ(level("profile-level-id=640c1fXYZ"), "640c1f");
    EXPECT_EQ(level(";; profile-level-id=4 ;x=1"), "4");
    EXPECT_EQ(level("profile-level-id=; profile-level-id=42e01f"), "");
}

TEST_F(StudioPerformanceTest, ControlConnectionEndAndPresetGoToTheConfiguration) {
    auto environment = testing::fakeEnvironment(clock);
    environment.trace = std::make_shared<StudioPerformanceTrace>(8, 8, clock->nowSeconds());
    StudioPerformance performance(Uuid::random(), "sender", std::nullopt, 4,
                                  {{"preset", "quality"}}, environment);
    performance.notePreset("responsive");
    performance.noteControlConnectionEnded("interrupted", "heartbeatExpired", 3, 12, 3.0);
    EXPECT_EQ(performance.configuration().at("preset"), "responsive");
    EXPECT_EQ(performance.configuration().at("controlEndPendingWrites"), "3");
    EXPECT_EQ(performance.configuration().at("controlEndDiscardedInputSamples"), "12");
    EXPECT_EQ(performance.configuration().at("controlEndInboundAgeMS"), "3.0");
    performance.noteControlConnectionEnded("stopped", "", 0, 0, 12.5);
    EXPECT_EQ(performance.configuration().at("controlEndInboundAgeMS"), "12.5");
    performance.noteControlConnectionEnded("stopped", "", 0, 0, inf);

    const auto events = environment.trace->snapshot().recentEvents;
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].stage, StudioPerformanceTrace::Stage::presetApplied);
    EXPECT_EQ(events[1].value, 3.0);
    EXPECT_EQ(events[3].stage, StudioPerformanceTrace::Stage::controlConnectionEnded);
    EXPECT_FALSE(events[3].value);
}

TEST(StudioPerformanceInterfaceTest, FindsTheInterfaceOfALocalAddress) {
    const auto local = testing::someLocalAddress();
    if (local) {
        const auto& [address, name] = *local;
        EXPECT_EQ(StudioPerformance::interfaceName(address), name);
        EXPECT_EQ(StudioPerformance::interfaceName(address + "%zone"), name);
        EXPECT_EQ(StudioPerformance::interfaceName("%" + address), name);
    }
    EXPECT_FALSE(StudioPerformance::interfaceName("203.0.113.77"));
    EXPECT_FALSE(StudioPerformance::interfaceName(""));
    EXPECT_FALSE(StudioPerformance::interfaceName("%%"));
}

}  // namespace
}  // namespace quillory
