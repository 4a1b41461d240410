#include "platform/webrtc/startup_ramp.h"

#include <algorithm>

namespace quillory {

double StartupRamp::clean(double at, double estimateBps) {
    if (!running()) {
        return estimateBps;
    }
    if (!start_) {
        start_ = at;
        base_ = estimateBps;
        return estimateBps;
    }
    if (at < *start_ + stepSeconds * (steps_ + 1)) {
        return estimateBps;
    }
    // Of where the ramp started: a probe may have lifted the estimate past a step already.
    base_ *= steps_ == 0 ? firstFactor : secondFactor;
    steps_ += 1;
    return std::max(estimateBps, base_);
}

void StartupRamp::hold(double at) {
    if (start_ && running()) {
        start_ = at - stepSeconds * steps_;
    }
}

}  // namespace quillory
