#include "media/studio_adaptation_assessment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "studio_test_fixtures.h"

namespace quillory {
namespace {

using Json = nlohmann::json;

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

StudioAdaptationAssessment full() {
    return *StudioAdaptationAssessment::decoded(fullText);
}

TEST(StudioAdaptationAssessmentTest, RoundTripsSortedAndOmitsAbsentOptionals) {
    const std::optional<std::string> text = full().encoded();
    ASSERT_TRUE(text);
    // Every field survives decoding and encoding; pretty-printed with keys in sorted order.
    const Json json = Json::parse(*text);
    EXPECT_EQ(json, Json::parse(fullText));
    EXPECT_EQ(text->find("{\n  \"allocatedBitrateBps\": 6000000,\n  \"consecutiveKeyframeDrops\""),
              0u);
    EXPECT_TRUE(json.at("allocatedBitrateBps").is_number_integer());
    EXPECT_TRUE(json.at("retentionBitrateBps").is_number_float());

    Json partial = json;
    for (const char* key : {"targetFPS", "observedFPS", "evidenceValidity", "filteredQP",
                            "recoveryCondition", "meanQP"}) {
        partial.erase(key);
    }
    const auto decoded = StudioAdaptationAssessment::fromJson(partial);
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->meanQP);
    EXPECT_EQ(decoded->toJson(), partial);
}

TEST(StudioAdaptationAssessmentTest, NonFiniteNumbersFailEncoding) {
    StudioAdaptationAssessment a = full();
    a.healthySeconds = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(a.toJson());
    a = full();
    a.filteredQP = std::nan("");
    EXPECT_FALSE(a.encoded());
}

}  // namespace
}  // namespace quillory
