#include <gtest/gtest.h>

#include <limits>

#include "media/studio_adaptation_assessment.h"
#include "media/studio_json_text.h"
#include "media/studio_performance_trace.h"
#include "media/studio_rtc_event_log_snapshot.h"
#include "studio_test_fixtures.h"

namespace quillory {
namespace {

using Json = nlohmann::json;
using Log = StudioRTCEventLogSnapshot;
using Snapshot = StudioPerformanceTrace::Snapshot;
using testing::removed;
using testing::with;

constexpr const char* fullText = R"({
    "targetFPS": 60, "observedFPS": 30, "evidenceValidity": "measured", "filteredQP": 26.5,
    "recoveryCondition": "improving", "reason": "funded-recovery", "recoveryBlockers": [],
    "previousWidth": 1280, "previousHeight": 720, "targetWidth": 1920, "targetHeight": 1080,
    "requestWidth": 1920, "requestHeight": 1080, "observedWidth": 1280, "observedHeight": 720,
    "allocatedBitrateBps": 6000000, "retentionBitrateBps": 720000.0,
    "nextLevelBitrateBps": 2400000.0, "intervalSeconds": 1.0, "intervalFrames": 30,
    "meanQP": 27.0, "packetQueueMS": 3.5, "retransmissionFraction": 0.0,
    "submittedFrames": 30, "droppedFrames": 1, "outputFrames": 29,
    "consecutiveKeyframeDrops": 0, "successfulOutputAtTarget": true, "healthySeconds": 3.25
})";

TEST(StudioJSONRecordsTest, AssessmentRoundTripsSortedAndOmitsAbsentOptionals) {
    const std::optional<std::string> text =
        StudioAdaptationAssessment::decoded(fullText)->encoded();
    ASSERT_TRUE(text);
    EXPECT_EQ(Json::parse(*text), Json::parse(fullText));
    EXPECT_EQ(text->find("{\n  \"allocatedBitrateBps\": 6000000,\n  \"consecutiveKeyframeDrops\""),
              0u);
    Json partial = Json::parse(fullText);
    for (const char* key : {"targetFPS", "observedFPS", "evidenceValidity", "filteredQP",
                            "recoveryCondition", "meanQP"}) {
        partial.erase(key);
    }
    // A null reads as an absent value.
    const auto decoded =
        StudioAdaptationAssessment::fromJSON(with(partial, "nextLevelBitrateBps", nullptr));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->toJSON(), with(partial, "nextLevelBitrateBps"));
}

TEST(StudioJSONRecordsTest, IntegersAcceptIntegralDoublesWithinRange) {
    const Json full = Json::parse(fullText);
    const std::pair<const char*, Json> accepted[] = {
        {"targetFPS", 60.0},
        {"previousWidth", -0.0},
        {"submittedFrames", 2147483647.0},
        {"allocatedBitrateBps", 4294967296.0},
        {"allocatedBitrateBps", -9.223372036854775808e18}};
    for (const auto& [key, value] : accepted) {
        const auto decoded = StudioAdaptationAssessment::fromJSON(with(full, key, value));
        ASSERT_TRUE(decoded) << key << " " << value;
        EXPECT_EQ(decoded->toJSON()[key].get<double>(), value.get<double>()) << key;
    }
    const std::pair<const char*, Json> refused[] = {
        {"targetFPS", 60.5},
        {"submittedFrames", 2147483648.0},
        {"submittedFrames", 2147483648},
        {"allocatedBitrateBps", 9.223372036854775808e18},
        {"allocatedBitrateBps", 9223372036854775808ULL},
        {"reason", removed},
        {"recoveryBlockers", Json::array({1})},
        {"successfulOutputAtTarget", 1}};
    for (const auto& [key, value] : refused) {
        EXPECT_FALSE(StudioAdaptationAssessment::fromJSON(with(full, key, value)))
            << key << " " << value;
    }
}

TEST(StudioJSONRecordsTest, EventLogBytesTravelAsBase64) {
    const Json good{{"format", "f"}, {"status", "s"}, {"maximumBytes", 10}, {"capturedBytes", 2}};
    EXPECT_EQ(Log::fromJSON(good)->toJSON(), good);
    EXPECT_EQ(Log::fromJSON(with(good, "dataBase64", "QUJD"))->dataBase64, (Bytes{'A', 'B', 'C'}));
    // Present but empty data is an empty text, not a missing key.
    EXPECT_EQ(Log{.dataBase64 = Bytes{}}.toJSON()["dataBase64"], "");
    for (const char* broken : {"not base64!", "QUJD\n"}) {
        EXPECT_FALSE(Log::fromJSON(with(good, "dataBase64", broken))) << broken;
    }
}

TEST(StudioJSONRecordsTest, TextNamesTheNumberJSONCannotHold) {
    Snapshot snapshot;
    snapshot.recentEvents.resize(2);
    snapshot.recentEvents[1].resolution = StudioAdaptationAssessment{};
    EXPECT_TRUE(prettyJSONText(snapshot.toJSON()));
    snapshot.recentEvents[1].resolution->healthySeconds = std::numeric_limits<double>::infinity();
    const JSONText text = prettyJSONText(snapshot.toJSON());
    EXPECT_FALSE(text);
    EXPECT_EQ(text.error,
              "the number inf at /recentEvents/1/resolution/healthySeconds cannot be "
              "written as JSON");
}

}  // namespace
}  // namespace quillory
