#include "platform/webrtc/gstreamer/frame_rate_limiter.h"

#include <algorithm>

namespace quillory {

void FrameRateLimiter::setMaximumRate(int framesPerSecond) {
    const std::int64_t interval = framesPerSecond > 0 ? 1'000'000'000 / framesPerSecond : 0;
    if (interval != interval_) {
        interval_ = interval;
        next_.reset();
    }
}

bool FrameRateLimiter::admit(std::int64_t timestamp) {
    if (interval_ <= 0) {
        return true;
    }
    if (next_ && timestamp < *next_ - interval_ / 2) {
        return false;
    }
    // The schedule follows the frames, but never runs ahead of the last one by more than an
    // interval, so a pause does not let a burst through afterwards.
    next_ = next_ ? std::max(*next_, timestamp - interval_ / 2) + interval_ : timestamp + interval_;
    return true;
}

}  // namespace quillory
