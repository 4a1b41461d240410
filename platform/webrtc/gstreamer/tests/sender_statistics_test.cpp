#include "platform/webrtc/gstreamer/sender_statistics.h"

#include <gmock/gmock.h>
#include <gst/gst.h>
#include <gst/webrtc/webrtc.h>
#include <gtest/gtest.h>

#include "platform/webrtc/gstreamer/gst_statistics_report.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;

const StudioStatistics* find(const StudioStatisticsReport& report, const std::string& type) {
    for (const StudioStatistics& entry : report.statistics) {
        if (entry.type == type) {
            return &entry;
        }
    }
    return nullptr;
}

double number(const StudioStatistics& entry, const std::string& name) {
    return std::get<double>(entry.values.at(name));
}

std::string text(const StudioStatistics& entry, const std::string& name) {
    return std::get<std::string>(entry.values.at(name));
}

// The shape webrtcbin 1.22 answers get-stats with, as plain entries.
StudioStatisticsReport webrtcbinReport(double timestamp, double packets, double rtxPackets,
                                       double roundTrip) {
    StudioStatisticsReport report;
    report.statistics = {
        {"codec-stats-sink_0",
         "codec",
         timestamp,
         {{"sdpFmtpLine", std::string("96 packetization-mode=1;profile-level-id=640c34")}}},
        {"ice-candidate-local_1_127.0.0.1_48881",
         "remote-candidate",
         timestamp,
         {{"port", 48881.0}}},
        {"ice-candidate-remote_1_127.0.0.1_40315",
         "local-candidate",
         timestamp,
         {{"port", 40315.0}}},
        {"ice-candidate-pair_0",
         "candidate-pair",
         timestamp,
         {{"localCandidateId", std::string("ice-candidate-remote_1_127.0.0.1_40315")},
          {"remoteCandidateId", std::string("ice-candidate-local_1_127.0.0.1_48881")}}},
        {"rtp-outbound-stream-stats_7",
         "outbound-rtp",
         timestamp,
         {{"ssrc", 7.0}, {"packetsSent", packets}, {"bytesSent", packets * 1000}}},
        {"rtp-outbound-stream-stats_9",
         "outbound-rtp",
         timestamp,
         {{"ssrc", 9.0}, {"packetsSent", rtxPackets}, {"bytesSent", rtxPackets * 1000}}},
        {"rtp-remote-inbound-stream-stats_7",
         "remote-inbound-rtp",
         timestamp,
         {{"roundTripTime", roundTrip}, {"rbJitter", 900.0}}},
    };
    return report;
}

// The retransmissions are those the sender saw leave on the other stream. The session's count of
// that stream holds the probes sent on it too, and starts again from nothing when the stream
// comes back after the session forgot it: neither shows.
TEST(SenderStatisticsTest, OneOutboundEntryWithTheSendersOwnRetransmissionsFoldedIn) {
    SenderStatistics statistics;
    SenderCounters counters;
    std::vector<double> retransmitted;
    std::vector<double> sent;
    // The session's retransmission stream, absent while forgotten.
    for (const double rtxPackets : {30.0, -1.0, 2.0}) {
        counters.packetLeft(9, 7, 3000, true, 1000, 0);
        counters.packetLeft(9, 7, 3000, true, 1000, 0);
        StudioStatisticsReport input = webrtcbinReport(1000, 100, std::max(rtxPackets, 0.0), 0.002);
        if (rtxPackets < 0) {
            std::erase_if(input.statistics, [](const StudioStatistics& entry) {
                return entry.id == "rtp-outbound-stream-stats_9";
            });
        }
        const StudioStatisticsReport report = statistics.complete(std::move(input), counters, 7);
        int outbound = 0;
        for (const StudioStatistics& entry : report.statistics) {
            outbound += entry.type == "outbound-rtp" ? 1 : 0;
        }
        ASSERT_EQ(outbound, 1);
        const StudioStatistics& entry = *find(report, "outbound-rtp");
        EXPECT_EQ(entry.id, "rtp-outbound-stream-stats_7");
        retransmitted.push_back(number(entry, "retransmittedPacketsSent"));
        sent.push_back(number(entry, "packetsSent"));
        EXPECT_EQ(number(entry, "retransmittedBytesSent"), retransmitted.back() * 1000);
    }
    EXPECT_EQ(retransmitted, (std::vector<double>{2, 4, 6}));
    EXPECT_EQ(sent, (std::vector<double>{102, 104, 106}));
}

TEST(SenderStatisticsTest, IdStaysAndTimestampsRiseAcrossReports) {
    SenderStatistics statistics;
    SenderCounters counters;
    std::vector<double> stamps;
    std::vector<std::string> ids;
    // The media SSRC is unknown to the second report (as after a restart of the session), and
    // the third repeats the second's timestamp.
    const std::pair<double, std::uint32_t> reports[] = {{1000, 7}, {2000, 8}, {2000, 7}};
    for (const auto& [timestamp, ssrc] : reports) {
        counters.framesEncoded += 30;
        StudioStatisticsReport report =
            statistics.complete(webrtcbinReport(timestamp, 10, 0, 0), counters, ssrc);
        const StudioStatistics& entry = *find(report, "outbound-rtp");
        stamps.push_back(entry.timestampMicroseconds);
        ids.push_back(entry.id);
        EXPECT_EQ(number(entry, "framesEncoded"), counters.framesEncoded);
    }
    EXPECT_THAT(ids, ElementsAre("rtp-outbound-stream-stats_7", "rtp-outbound-stream-stats_7",
                                 "rtp-outbound-stream-stats_7"));
    EXPECT_LT(stamps[0], stamps[1]);
    EXPECT_LT(stamps[1], stamps[2]);
}

// A known stream at 600 kbit/s and 30 frames a second (a huge frame has 6,250 bytes or more),
// read after three stretches of it; each member is measured from what the stream did, or absent.
TEST(SenderStatisticsTest, TheSendersOwnMembersFollowAKnownStream) {
    constexpr std::uint32_t media = 7;
    constexpr std::uint32_t retransmission = 9;
    constexpr std::int64_t second = 1'000'000'000;
    SenderCounters counters;
    SenderStatistics statistics;
    std::vector<StudioStatistics> reports;
    const auto report = [&] {
        StudioStatisticsReport completed = statistics.complete(
            webrtcbinReport(1000.0 * static_cast<double>(reports.size() + 1), 10, 0, 0), counters,
            media);
        reports.push_back(*find(completed, "outbound-rtp"));
        reports.push_back(*find(completed, "candidate-pair"));
    };
    counters.encoderConfigured(600'000, 30);
    const auto encode = [&](std::uint32_t timestamp, std::size_t bytes, std::optional<int> qp) {
        counters.frameEncoded({.rtpTimestamp = timestamp,
                               .pushedAtNanoseconds = second,
                               .bytes = bytes,
                               .key = timestamp == 3000,
                               .qp = qp,
                               .encodeSeconds = 0.004,
                               .width = 1280,
                               .height = 720});
    };
    const auto leave = [&](std::uint32_t ssrc, std::uint32_t timestamp, bool marker,
                           std::int64_t afterMilliseconds) {
        counters.packetLeft(ssrc, media, timestamp, marker, 1200,
                            second + afterMilliseconds * 1'000'000);
    };

    // A keyframe packetized a millisecond after its push (its delay counts from then), sent
    // whole and retransmitted in part; a frame sent whole; a frame whose last packet is still
    // queued.
    encode(3000, 9000, 30);
    encode(6000, 1000, 26);
    encode(9000, 1000, 28);
    counters.framePacketized(3000, second + 1'000'000);
    counters.framePacketized(3000, second + 2'000'000);
    leave(media, 3000, false, 2);
    leave(media, 3000, true, 2);
    leave(retransmission, 3000, true, 50);
    leave(media, 6000, true, 1);
    leave(media, 9000, false, 1);
    report();
    // The queued packet leaves; a frame without a QP; a frame the busy encoder never took; the
    // first measured estimate.
    leave(media, 9000, true, 3);
    encode(12000, 1000, std::nullopt);
    counters.framesDroppedBusy += 1;
    counters.availableOutgoingBitrate = 1'200'000;
    report();
    // The encoder keeps up and the estimate holds the stream back.
    counters.bandwidthLimited = true;
    report();

    using Value = std::optional<StudioStatisticValue>;
    const Value absent;
    const struct {
        std::size_t entry;  // 0: outbound-rtp, 1: candidate-pair
        const char* member;
        Value first, second, third;
    } rows[] = {
        {0, "framesEncoded", 3.0, 4.0, 4.0},
        {0, "keyFramesEncoded", 1.0, 1.0, 1.0},
        {0, "framesSent", 2.0, 3.0, 3.0},
        {0, "hugeFramesSent", 1.0, 1.0, 1.0},
        {0, "qpSum", 84.0, absent, absent},
        {0, "totalEncodeTime", 0.012, 0.016, 0.016},
        {0, "totalPacketSendDelay", 0.053, 0.056, 0.056},
        {0, "targetBitrate", 600'000.0, 600'000.0, 600'000.0},
        {0, "qualityLimitationReason", std::string("none"), std::string("cpu"),
         std::string("bandwidth")},
        {1, "availableOutgoingBitrate", absent, 1'200'000.0, 1'200'000.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.member);
        const Value expected[] = {row.first, row.second, row.third};
        for (std::size_t index = 0; index < 3; ++index) {
            const auto& values = reports[index * 2 + row.entry].values;
            const auto found = values.find(row.member);
            const Value actual = found == values.end() ? absent : Value(found->second);
            if (expected[index] && actual && std::holds_alternative<double>(*actual)) {
                EXPECT_NEAR(std::get<double>(*actual), std::get<double>(*expected[index]), 1e-9)
                    << "report " << index + 1;
            } else {
                EXPECT_EQ(actual, expected[index]) << "report " << index + 1;
            }
        }
    }
}

TEST(SenderStatisticsTest, RoundTripTimeReachesThePairOnlyOnceReported) {
    SenderStatistics statistics;
    for (const double roundTrip : {0.0, 0.004}) {
        SCOPED_TRACE(roundTrip);
        const StudioStatisticsReport report =
            statistics.complete(webrtcbinReport(1000 + roundTrip, 1, 0, roundTrip), {}, 7);
        const StudioStatistics& pair = *find(report, "candidate-pair");
        const StudioStatistics& remote = *find(report, "remote-inbound-rtp");
        EXPECT_EQ(pair.values.contains("currentRoundTripTime"), roundTrip > 0);
        EXPECT_EQ(remote.values.contains("roundTripTime"), roundTrip > 0);
        EXPECT_DOUBLE_EQ(number(remote, "jitter"), 0.01);
        if (roundTrip > 0) {
            EXPECT_EQ(number(pair, "currentRoundTripTime"), roundTrip);
        }
    }
}

TEST(SenderStatisticsTest, CandidatesAreFiledUnderTheSideTheirIdsName) {
    SenderStatistics statistics;
    const StudioStatisticsReport report =
        statistics.complete(webrtcbinReport(1000, 1, 0, 0), {}, 7);
    const StudioStatistics& pair = *find(report, "candidate-pair");
    const StudioStatistics& local = *find(report, "local-candidate");
    EXPECT_EQ(local.id, "ice-candidate-local_1_127.0.0.1_48881");
    EXPECT_EQ(text(pair, "localCandidateId"), local.id);
    EXPECT_EQ(text(pair, "remoteCandidateId"), find(report, "remote-candidate")->id);
    EXPECT_EQ(text(*find(report, "codec"), "sdpFmtpLine"),
              "packetization-mode=1;profile-level-id=640c34");
}

TEST(GstStatisticsReportTest, MembersBecomePlainValuesInReplyOrder) {
    gst_init(nullptr, nullptr);
    g_type_ensure(GST_TYPE_WEBRTC_STATS_TYPE);
    GstStructure* reply = gst_structure_from_string(
        "application/x-webrtc-stats, "
        "b=(structure)\"b, id=(string)second, type=(GstWebRTCStatsType)outbound-rtp, "
        "timestamp=(double)1500.5, packets-sent=(guint64)12, is-remote=(boolean)true, "
        "codec-id=(string)c, ratio=(fraction)1/2\", "
        "a=(structure)\"a, type=(GstWebRTCStatsType)codec, timestamp=(double)1.0, "
        "clock-rate=(uint)90000\", "
        "ignored=(int)5;",
        nullptr);
    ASSERT_NE(reply, nullptr);
    const StudioStatisticsReport report = statisticsReportFromGst(reply);
    gst_structure_free(reply);
    ASSERT_EQ(report.statistics.size(), 2u);
    const StudioStatistics& first = report.statistics[0];
    EXPECT_EQ(first.id, "second");
    EXPECT_EQ(first.type, "outbound-rtp");
    EXPECT_DOUBLE_EQ(first.timestampMicroseconds, 1'500'500);
    EXPECT_EQ(number(first, "packetsSent"), 12);
    EXPECT_EQ(std::get<bool>(first.values.at("isRemote")), true);
    EXPECT_EQ(text(first, "codecId"), "c");
    EXPECT_FALSE(first.values.contains("ratio"));
    EXPECT_EQ(report.statistics[1].id, "a");  // no id member: the field name
    EXPECT_EQ(report.statistics[1].type, "codec");
    EXPECT_EQ(number(report.statistics[1], "clockRate"), 90000);
}

TEST(GstStatisticsReportTest, NamesTurnCamelCase) {
    EXPECT_EQ(camelCaseName("packets-sent"), "packetsSent");
    EXPECT_EQ(camelCaseName("rb-round-trip"), "rbRoundTrip");
    EXPECT_EQ(camelCaseName("ssrc"), "ssrc");
    EXPECT_EQ(camelCaseName("-leading"), "leading");
}

}  // namespace
}  // namespace quillory
