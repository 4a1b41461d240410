#pragma once

#include <optional>

#include "media/studio_adaptation_observation.h"
#include "media/studio_recovery_evidence.h"

namespace quillory {

// What a promotion of the operating-point policy rests on: the newest statistics interval seen,
// the evidence window of recent intervals, the current healthy run with the credit carried across
// the last promotion, and what the latest evaluation allows. The policy reads and writes the
// fields directly; times are uptime seconds.
struct StudioRecoveryRun {
    // The latest observation that brought a new interval, and that interval's end.
    std::optional<StudioAdaptationObservation> latest;
    std::optional<double> lastIntervalEnd;
    StudioRecoveryEvidence evidence;
    // Healthy seconds carried across a promotion.
    double transitionCredit = 0.0;
    std::optional<double> healthySince;
    std::optional<double> lastHealthyAt;
    bool recoveryAllowed = false;
    // An idle stream may use its evidence for one promotion.
    bool idlePromotionAvailable = true;

    // True when the observation's interval is newer than any seen; it then becomes the latest.
    bool takeInterval(const StudioAdaptationObservation& observation);
    void clearHealth() {
        healthySince.reset();
        lastHealthyAt.reset();
    }
    // A fresh evidence window, which allows no promotion.
    void forgetEvidence() {
        evidence = StudioRecoveryEvidence();
        recoveryAllowed = false;
    }
};

}  // namespace quillory
