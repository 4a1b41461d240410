#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillory {

// The record of one adaptation decision: where the sender moved from and to, why, and the
// evidence it had in hand. Its JSON keys are the field names.
struct StudioAdaptationAssessment {
    std::optional<int> targetFPS;
    std::optional<int> observedFPS;
    std::optional<std::string> evidenceValidity;
    std::optional<double> filteredQP;
    std::optional<std::string> recoveryCondition;
    std::string reason;
    std::vector<std::string> recoveryBlockers;
    int previousWidth = 0;
    int previousHeight = 0;
    int targetWidth = 0;
    int targetHeight = 0;
    int requestWidth = 0;
    int requestHeight = 0;
    int observedWidth = 0;
    int observedHeight = 0;
    std::int64_t allocatedBitrateBps = 0;
    double retentionBitrateBps = 0.0;
    std::optional<double> nextLevelBitrateBps;
    std::optional<double> intervalSeconds;
    std::optional<int> intervalFrames;
    std::optional<double> meanQP;
    std::optional<double> packetQueueMS;
    std::optional<double> retransmissionFraction;
    int submittedFrames = 0;
    int droppedFrames = 0;
    int outputFrames = 0;
    int consecutiveKeyframeDrops = 0;
    bool successfulOutputAtTarget = false;
    double healthySeconds = 0.0;

    bool operator==(const StudioAdaptationAssessment&) const = default;

    // The JSON object; absent when a number is infinite or not a number, which JSON cannot hold.
    std::optional<nlohmann::json> toJson() const;
    // Absent when a required key is missing or a value has the wrong type; unknown keys are
    // ignored.
    static std::optional<StudioAdaptationAssessment> fromJson(const nlohmann::json& json);

    // Pretty-printed JSON text with sorted keys; absent when toJson() is.
    std::optional<std::string> encoded() const;
    static std::optional<StudioAdaptationAssessment> decoded(std::string_view text);
};

}  // namespace quillory
