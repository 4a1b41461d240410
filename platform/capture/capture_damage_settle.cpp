#include "platform/capture/capture_damage_settle.h"

#include <algorithm>

namespace quillory {

double CaptureDamageSettle::damaged(double now) {
    if (!firstDamage_) {
        firstDamage_ = now;
    }
    due_ = std::min(now + quietSeconds, *firstDamage_ + longestSettleSeconds);
    if (lastGrab_) {
        due_ = std::max(due_, *lastGrab_ + spacingShare * interval_);
    }
    return due_;
}

void CaptureDamageSettle::grabbed(double now) {
    lastGrab_ = now;
    firstDamage_.reset();
}

std::optional<double> CaptureDamageSettle::due() const {
    return firstDamage_ ? std::optional<double>(due_) : std::nullopt;
}

}  // namespace quillory
