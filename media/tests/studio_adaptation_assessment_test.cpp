#include "media/studio_adaptation_assessment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace quillory {
namespace {

StudioAdaptationAssessment full() {
    return *StudioAdaptationAssessment::decoded(R"({
        "targetFPS": 60, "observedFPS": 30, "evidenceValidity": "measured", "filteredQP": 26.5,
        "recoveryCondition": "improving", "reason": "funded-recovery", "recoveryBlockers": [],
        "previousWidth": 1280, "previousHeight": 720, "targetWidth": 1920, "targetHeight": 1080,
        "requestWidth": 1920, "requestHeight": 1080, "observedWidth": 1280, "observedHeight": 720,
        "allocatedBitrateBps": 6000000, "retentionBitrateBps": 720000.0,
        "nextLevelBitrateBps": 2400000.0, "intervalSeconds": 1.0, "intervalFrames": 30,
        "meanQP": 27.0, "packetQueueMS": 3.5, "retransmissionFraction": 0.0,
        "submittedFrames": 30, "droppedFrames": 1, "outputFrames": 29,
        "consecutiveKeyframeDrops": 0, "successfulOutputAtTarget": true, "healthySeconds": 3.25
    })");
}

TEST(StudioAdaptationAssessmentTest, RoundTripsWithSortedKeysAndEveryField) {
    const StudioAdaptationAssessment a = full();
    EXPECT_EQ(a.requestHeight, 1080);
    EXPECT_EQ(a.healthySeconds, 3.25);
    const std::optional<std::string> text = a.encoded();
    ASSERT_TRUE(text);
    EXPECT_EQ(StudioAdaptationAssessment::decoded(*text), a);
    const nlohmann::json json = nlohmann::json::parse(*text);
    EXPECT_EQ(json.size(), 29u);
    // Pretty-printed, keys in sorted order.
    EXPECT_EQ(text->find("{\n  \"allocatedBitrateBps\": 6000000,\n  \"consecutiveKeyframeDrops\""),
              0u);
    EXPECT_TRUE(json.at("allocatedBitrateBps").is_number_integer());
    EXPECT_TRUE(json.at("retentionBitrateBps").is_number_float());
    EXPECT_TRUE(json.at("successfulOutputAtTarget").is_boolean());
}

TEST(StudioAdaptationAssessmentTest, AbsentOptionalsWriteNoKey) {
    StudioAdaptationAssessment a = full();
    a.targetFPS.reset();
    a.observedFPS.reset();
    a.evidenceValidity.reset();
    a.filteredQP.reset();
    a.recoveryCondition.reset();
    a.meanQP.reset();
    const nlohmann::json json = *a.toJson();
    for (const char* key : {"targetFPS", "observedFPS", "evidenceValidity", "filteredQP",
                            "recoveryCondition", "meanQP"}) {
        EXPECT_FALSE(json.contains(key)) << key;
    }
    EXPECT_TRUE(json.at("recoveryBlockers").is_array());
    EXPECT_EQ(StudioAdaptationAssessment::fromJson(json), a);
}

TEST(StudioAdaptationAssessmentTest, NonFiniteNumbersFailEncoding) {
    StudioAdaptationAssessment a = full();
    a.healthySeconds = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(a.toJson());
    a = full();
    a.filteredQP = std::nan("");
    EXPECT_FALSE(a.encoded());
}

TEST(StudioAdaptationAssessmentTest, DecodingNeedsRequiredKeysOfTheRightType) {
    nlohmann::json json = *full().toJson();
    json["unknownKey"] = "ignored";
    json.erase("meanQP");
    const auto decoded = StudioAdaptationAssessment::fromJson(json);
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->meanQP);

    const auto without = [&](const char* key) {
        nlohmann::json copy = json;
        copy.erase(key);
        return StudioAdaptationAssessment::fromJson(copy);
    };
    EXPECT_FALSE(without("reason"));
    EXPECT_FALSE(without("recoveryBlockers"));
    EXPECT_FALSE(without("healthySeconds"));

    const auto with = [&](const char* key, nlohmann::json value) {
        nlohmann::json copy = json;
        copy[key] = std::move(value);
        return StudioAdaptationAssessment::fromJson(copy);
    };
    EXPECT_FALSE(with("targetWidth", 1920.5));
    EXPECT_FALSE(with("targetWidth", "1920"));
    EXPECT_FALSE(with("targetWidth", 4'000'000'000LL));
    EXPECT_FALSE(with("targetFPS", true));
    EXPECT_FALSE(with("recoveryBlockers", nlohmann::json::array({1})));
    EXPECT_FALSE(with("successfulOutputAtTarget", 1));
    EXPECT_TRUE(with("healthySeconds", 3));
    EXPECT_FALSE(StudioAdaptationAssessment::decoded("[1]"));
    EXPECT_FALSE(StudioAdaptationAssessment::decoded("{"));
}

}  // namespace
}  // namespace quillory
