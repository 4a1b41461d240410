#include "media/studio_interval_sampler.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillory {
namespace {

using Values = std::map<std::string, StudioStatisticValue>;

StudioStatisticsReport report(double seconds, Values values, std::string id = "OT01",
                              std::string type = "outbound-rtp") {
    StudioStatisticsReport r;
    r.statistics.push_back({"T01", "transport", seconds * 1e6, {{"bytesSent", 5.0}}});
    r.statistics.push_back({std::move(id), std::move(type), seconds * 1e6, std::move(values)});
    return r;
}

Values sender(double frames, double packets, double sendDelay) {
    return {{"framesEncoded", frames},
            {"packetsSent", packets},
            {"totalPacketSendDelay", sendDelay},
            {"totalEncodeTime", frames * 0.004},
            {"qpSum", frames * 25.0},
            {"bytesSent", packets * 1000.0},
            {"retransmittedBytesSent", 0.0},
            {"mid", std::string("0")}};
}

TEST(StudioIntervalSamplerTest, TwoReportsOneSecondApart) {
    StudioIntervalSampler sampler;
    EXPECT_FALSE(sampler.interval(report(100.0, sender(600, 300, 3.0)), true, 50.0));
    const auto interval = sampler.interval(report(101.0, sender(660, 330, 3.3)), true, 51.1);
    ASSERT_TRUE(interval);
    EXPECT_EQ(interval->windowStart, 50.0);
    EXPECT_EQ(interval->windowEnd, 51.1);
    EXPECT_DOUBLE_EQ(interval->seconds, 1.0);
    EXPECT_EQ(interval->frames, 60);
    EXPECT_DOUBLE_EQ(interval->fps, 60.0);
    EXPECT_NEAR(*interval->queueMS, 10.0, 1e-9);
    EXPECT_NEAR(*interval->encodeMS, 4.0, 1e-9);
    EXPECT_DOUBLE_EQ(*interval->meanQP, 25.0);
    EXPECT_EQ(interval->retransmissionFraction, 0.0);
    EXPECT_EQ(interval->sentPackets, 30);
    EXPECT_EQ(interval->sentBytes, 30'000.0);
    EXPECT_FALSE(interval->decodeMS);
    EXPECT_FALSE(interval->bufferMS);
}

TEST(StudioIntervalSamplerTest, ReportsThatCannotBeComparedOnlyPrimeTheSampler) {
    StudioIntervalSampler sampler;
    sampler.interval(report(100.0, sender(600, 300, 3.0)), true, 50.0);
    // Encoder restart within the same entry: the counter went back.
    EXPECT_FALSE(sampler.interval(report(101.0, sender(10, 310, 3.1)), true, 51.0));
    EXPECT_TRUE(sampler.interval(report(102.0, sender(70, 340, 3.4)), true, 52.0));
    // More than 1000 frames in one interval.
    EXPECT_FALSE(sampler.interval(report(103.0, sender(1071, 370, 3.7)), true, 53.0));
    // A new stream.
    EXPECT_FALSE(sampler.interval(report(104.0, sender(1100, 400, 4.0), "OT02"), true, 54.0));
    // Not newer.
    EXPECT_FALSE(sampler.interval(report(104.0, sender(1110, 410, 4.1), "OT02"), true, 54.5));
    // Exactly 3 s apart still measures; more does not.
    EXPECT_TRUE(sampler.interval(report(107.0, sender(1120, 420, 4.2), "OT02"), true, 57.5));
    EXPECT_FALSE(sampler.interval(report(110.5, sender(1130, 430, 4.3), "OT02"), true, 61.0));
}

TEST(StudioIntervalSamplerTest, ReportWithoutTheWantedEntryKeepsTheBase) {
    StudioIntervalSampler sampler;
    sampler.interval(report(100.0, sender(600, 300, 3.0)), true, 50.0);
    EXPECT_FALSE(
        sampler.interval(report(100.5, sender(630, 315, 3.1), "IT01", "inbound-rtp"), true, 50.5));
    const auto interval = sampler.interval(report(101.0, sender(660, 330, 3.3)), true, 51.0);
    ASSERT_TRUE(interval);
    EXPECT_EQ(interval->windowStart, 50.0);
}

TEST(StudioIntervalSamplerTest, MissingNonFiniteOrInconsistentMembersLeaveTheirMeansAbsent) {
    StudioIntervalSampler sampler;
    Values first = sender(600, 300, 3.0);
    Values second = sender(660, 330, 3.3);
    first.erase("qpSum");
    second.erase("qpSum");
    second["retransmittedBytesSent"] = 40'000.0;
    second["totalEncodeTime"] = INFINITY;
    sampler.interval(report(100.0, first), true, 50.0);
    const auto interval = sampler.interval(report(101.0, second), true, 51.0);
    ASSERT_TRUE(interval);
    EXPECT_FALSE(interval->meanQP);
    EXPECT_FALSE(interval->retransmissionFraction);
    EXPECT_FALSE(interval->encodeMS);
    EXPECT_TRUE(interval->queueMS);

    Values idle = sender(660, 330, 3.3);
    sampler.interval(report(102.0, idle), true, 52.0);
    const auto still = sampler.interval(report(103.0, idle), true, 53.0);
    ASSERT_TRUE(still);
    EXPECT_EQ(still->frames, 0);
    EXPECT_EQ(still->retransmissionFraction, 0.0);
    EXPECT_FALSE(still->meanQP);
    EXPECT_FALSE(still->queueMS);
}

TEST(StudioIntervalSamplerTest, ReceiverSideUsesDecodeCounters) {
    StudioIntervalSampler sampler;
    const auto receiver = [](double frames) {
        return Values{{"framesDecoded", frames},
                      {"totalDecodeTime", frames * 0.002},
                      {"jitterBufferDelay", frames * 0.03},
                      {"jitterBufferEmittedCount", frames},
                      {"keyFramesDecoded", true}};
    };
    sampler.interval(report(10.0, receiver(100), "IT01", "inbound-rtp"), false, 1.0);
    const auto interval =
        sampler.interval(report(10.5, receiver(130), "IT01", "inbound-rtp"), false, 1.5);
    ASSERT_TRUE(interval);
    EXPECT_EQ(interval->frames, 30);
    EXPECT_DOUBLE_EQ(interval->fps, 60.0);
    EXPECT_NEAR(*interval->decodeMS, 2.0, 1e-9);
    EXPECT_NEAR(*interval->bufferMS, 30.0, 1e-9);
    EXPECT_FALSE(interval->encodeMS);
    EXPECT_EQ(sampler.previous()->values.at("keyFramesDecoded"), 1.0);
}

}  // namespace
}  // namespace quillory
