#include "media/studio_rtc_event_log_snapshot.h"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

#include "media/studio_playback_policy.h"

namespace quillory {
namespace {

using Json = nlohmann::json;

TEST(StudioRTCEventLogSnapshotTest, WritesOnlyWhatIsPresent) {
    StudioRTCEventLogSnapshot log{"rtc-event-log", "requested", std::nullopt, 4096, 0};
    EXPECT_EQ(
        log.toJson()->dump(),
        R"({"capturedBytes":0,"format":"rtc-event-log","maximumBytes":4096,"status":"requested"})");
    log.accepted = false;
    log.dataBase64 = Bytes{};
    const Json json = *log.toJson();
    EXPECT_EQ(json["accepted"], false);
    // Present but empty data is an empty text, not a missing key.
    EXPECT_EQ(json["dataBase64"], "");
    EXPECT_EQ(StudioRTCEventLogSnapshot::fromJson(json), log);
}

TEST(StudioRTCEventLogSnapshotTest, RoundTripsBytesAndLimits) {
    Bytes data(1000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    const StudioRTCEventLogSnapshot log{"rtc-event-log",
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
    EXPECT_EQ(StudioRTCEventLogSnapshot::fromJson(Json::parse(json.dump())), log);
}

TEST(StudioRTCEventLogSnapshotTest, DecodingRefusesBrokenRecords) {
    const Json good{{"format", "f"}, {"status", "s"}, {"maximumBytes", 10}, {"capturedBytes", 2}};
    EXPECT_TRUE(StudioRTCEventLogSnapshot::fromJson(good));
    for (const char* key : {"format", "status", "maximumBytes", "capturedBytes"}) {
        Json json = good;
        json.erase(key);
        EXPECT_FALSE(StudioRTCEventLogSnapshot::fromJson(json)) << key;
    }
    const auto with = [&](const char* key, Json value) {
        Json json = good;
        json[key] = std::move(value);
        return StudioRTCEventLogSnapshot::fromJson(json);
    };
    EXPECT_FALSE(with("dataBase64", "not base64!"));
    EXPECT_FALSE(with("dataBase64", "QUJD\n"));
    EXPECT_FALSE(with("maximumBytes", 1.5));
    EXPECT_FALSE(with("maximumBytes", 9223372036854775808ULL));
    EXPECT_FALSE(with("accepted", "yes"));
    EXPECT_FALSE(with("startedSeconds", "1"));
    EXPECT_EQ(with("stoppedSeconds", nullptr), StudioRTCEventLogSnapshot::fromJson(good));
    EXPECT_EQ(with("dataBase64", "QUJD")->dataBase64, (Bytes{'A', 'B', 'C'}));

    StudioRTCEventLogSnapshot running = *StudioRTCEventLogSnapshot::fromJson(good);
    running.startedSeconds = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(running.toJson());
}

TEST(StudioPlaybackPolicyTest, FieldTrialsAndDescriptionsAgree) {
    const auto trials = StudioPlaybackPolicy::fieldTrials();
    EXPECT_EQ(trials.size(), 4u);
    EXPECT_EQ(trials.at("WebRTC-Video-Pacing"), "max_delay:100ms");
    EXPECT_EQ(trials.at("WebRTC-PcFactoryDefaultBitrates"), "max:28000000bps");
    EXPECT_EQ(trials.at("WebRTC-ProbingScreenshareBwe"), "1.0,100,80,40,-60,3");

    const auto sender = StudioPlaybackPolicy::senderDescription();
    EXPECT_EQ(sender.size(), 16u);
    EXPECT_EQ(sender.at("senderScreenSharingPolicy"), trials.at("WebRTC-ProbingScreenshareBwe"));
    EXPECT_EQ(sender.at("senderProbingConfiguration"),
              trials.at("WebRTC-Bwe-ProbingConfiguration"));
    EXPECT_EQ(sender.at("senderFactoryMaximumBitrateBps"), "28000000");
    // Seconds and factors are written as floating-point numbers.
    EXPECT_EQ(sender.at("senderResolutionRecoverySeconds"), "3.0");
    EXPECT_EQ(sender.at("senderResolutionPromotionHeadroom"), "1.2");

    const auto receiver = StudioPlaybackPolicy::receiverDescription();
    EXPECT_EQ(receiver.size(), 7u);
    EXPECT_EQ(receiver.at("receiverPlayoutMinimumMS"), "10");
    EXPECT_EQ(receiver.at("receiverPlayoutMaximumMS"), "40");
    EXPECT_EQ(receiver.at("playbackPolicyRevision"), sender.at("playbackPolicyRevision"));
}

}  // namespace
}  // namespace quillory
