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

    // Each field with its JSON key, in declaration order; see media/studio_json_text.h.
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("targetFPS", self.targetFPS);
        visit("observedFPS", self.observedFPS);
        visit("evidenceValidity", self.evidenceValidity);
        visit("filteredQP", self.filteredQP);
        visit("recoveryCondition", self.recoveryCondition);
        visit("reason", self.reason);
        visit("recoveryBlockers", self.recoveryBlockers);
        visit("previousWidth", self.previousWidth);
        visit("previousHeight", self.previousHeight);
        visit("targetWidth", self.targetWidth);
        visit("targetHeight", self.targetHeight);
        visit("requestWidth", self.requestWidth);
        visit("requestHeight", self.requestHeight);
        visit("observedWidth", self.observedWidth);
        visit("observedHeight", self.observedHeight);
        visit("allocatedBitrateBps", self.allocatedBitrateBps);
        visit("retentionBitrateBps", self.retentionBitrateBps);
        visit("nextLevelBitrateBps", self.nextLevelBitrateBps);
        visit("intervalSeconds", self.intervalSeconds);
        visit("intervalFrames", self.intervalFrames);
        visit("meanQP", self.meanQP);
        visit("packetQueueMS", self.packetQueueMS);
        visit("retransmissionFraction", self.retransmissionFraction);
        visit("submittedFrames", self.submittedFrames);
        visit("droppedFrames", self.droppedFrames);
        visit("outputFrames", self.outputFrames);
        visit("consecutiveKeyframeDrops", self.consecutiveKeyframeDrops);
        visit("successfulOutputAtTarget", self.successfulOutputAtTarget);
        visit("healthySeconds", self.healthySeconds);
    }

    // Numbers that are not finite stay in the object; writing its text fails.
    nlohmann::json toJSON() const;
    // Absent when a required key is missing or a value has the wrong type; unknown keys are
    // ignored.
    static std::optional<StudioAdaptationAssessment> fromJSON(const nlohmann::json& json);

    // Pretty-printed JSON text with sorted keys; absent when a number is not finite.
    std::optional<std::string> encoded() const;
    static std::optional<StudioAdaptationAssessment> decoded(std::string_view text);
};

}  // namespace quillory
