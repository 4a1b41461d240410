#include "platform/capture/capture_damage_settle.h"

#include <algorithm>

namespace quillory {

double CaptureDamageSettle::damaged(double now) {
    if (!firstDamage_) {
        firstDamage_ = now;
        // Once may be a picture drawn while the last grab ran; twice running is a pattern.
        const bool soon = lastGrab_ && now - *lastGrab_ < quietSeconds;
        soonAfterGrab_ = soon ? soonAfterGrab_ + 1 : 0;
        if (soonAfterGrab_ >= 2) {
            stepwiseUntil_ = now + stepwiseMemorySeconds;
        }
    }
    const bool stepwise = stepwiseUntil_ && now < *stepwiseUntil_;
    due_ = stepwise ? std::min(now + quietSeconds, *firstDamage_ + longestSettleSeconds) : now;
    if (lastGrab_ && due_ < lastGrabStart_ + spacingShare * interval_) {
        const bool faster = *firstDamage_ - lastGrabStart_ < fasterShare * interval_;
        due_ = lastGrabStart_ + (faster ? 1.0 : spacingShare) * interval_;
    }
    return due_;
}

void CaptureDamageSettle::grabbed(double start, double end) {
    lastGrabStart_ = start;
    lastGrab_ = end;
    firstDamage_.reset();
}

std::optional<double> CaptureDamageSettle::due() const {
    return firstDamage_ ? std::optional<double>(due_) : std::nullopt;
}

}  // namespace quillory
