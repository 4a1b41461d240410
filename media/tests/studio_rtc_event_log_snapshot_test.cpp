#include "media/studio_rtc_event_log_snapshot.h"

#include <gtest/gtest.h>

#include <limits>

#include "media/studio_playback_policy.h"
#include "studio_test_fixtures.h"

namespace quillory {
namespace {

using Json = nlohmann::json;
using Log = StudioRTCEventLogSnapshot;
using testing::removed;
using testing::with;

TEST(StudioRTCEventLogSnapshotTest, WritesOnlyWhatIsPresentAndRoundTripsBytesAndLimits) {
    Log log{"rtc-event-log", "requested", std::nullopt, 4096, 0};
    EXPECT_EQ(
        log.toJson()->dump(),
        R"({"capturedBytes":0,"format":"rtc-event-log","maximumBytes":4096,"status":"requested"})");
    log.accepted = false;
    log.dataBase64 = Bytes{};
    // Present but empty data is an empty text, not a missing key.
    EXPECT_EQ((*log.toJson())["dataBase64"], "");
    EXPECT_EQ(Log::fromJson(*log.toJson()), log);

    Bytes data(1000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    log = {"rtc-event-log",
           "stopped",
           true,
           std::numeric_limits<std::int64_t>::max(),
           1000,
           0.0,
           12.5,
           data};
    const Json json = *log.toJson();
    EXPECT_EQ(json.size(), 8u);
    EXPECT_EQ(json["dataBase64"].get<std::string>().substr(0, 8), "AAcOFRwj");
    EXPECT_EQ(Log::fromJson(Json::parse(json.dump())), log);
    log.startedSeconds = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(log.toJson());
}

TEST(StudioRTCEventLogSnapshotTest, DecodingRefusesBytesOutOfBoundsAndBrokenBase64) {
    const Json good{{"format", "f"}, {"status", "s"}, {"maximumBytes", 10}, {"capturedBytes", 2}};
    EXPECT_EQ(Log::fromJson(with(good, "dataBase64", "QUJD"))->dataBase64, (Bytes{'A', 'B', 'C'}));
    const std::pair<const char*, Json> broken[] = {{"capturedBytes", removed},
                                                   {"maximumBytes", 9223372036854775808ULL},
                                                   {"maximumBytes", 1.5},
                                                   {"dataBase64", "not base64!"},
                                                   {"dataBase64", "QUJD\n"}};
    for (const auto& [key, value] : broken) {
        EXPECT_FALSE(Log::fromJson(with(good, key, value))) << key << value;
    }
}

TEST(StudioPlaybackPolicyTest, FieldTrialsAndDescriptionsAgree) {
    const auto trials = StudioPlaybackPolicy::fieldTrials();
    const auto sender = StudioPlaybackPolicy::senderDescription();
    EXPECT_EQ(trials.at("WebRTC-PcFactoryDefaultBitrates"), "max:28000000bps");
    EXPECT_EQ(sender.at("senderFactoryMaximumBitrateBps"), "28000000");
    EXPECT_EQ(trials.at("WebRTC-ProbingScreenshareBwe"), "1.0,100,80,40,-60,3");
    EXPECT_EQ(sender.at("senderScreenSharingPolicy"), trials.at("WebRTC-ProbingScreenshareBwe"));
    // Seconds and factors are written as floating-point numbers.
    EXPECT_EQ(sender.at("senderResolutionRecoverySeconds"), "3.0");
    EXPECT_EQ(sender.at("senderResolutionPromotionHeadroom"), "1.2");
    EXPECT_EQ(StudioPlaybackPolicy::receiverDescription().at("playbackPolicyRevision"),
              sender.at("playbackPolicyRevision"));
}

}  // namespace
}  // namespace quillory
