#include "platform/webrtc/gstreamer/keyframe_request_limiter.h"

#include <algorithm>

namespace quillory {

bool KeyframeRequestLimiter::forceKeyframe(std::int64_t now) {
    if (!pending_ || (lastForced_ && now - *lastForced_ < interval_)) {
        return false;
    }
    pending_ = false;
    lastForced_ = now;
    return true;
}

std::int64_t KeyframeRequestLimiter::wait(std::int64_t now) const {
    return lastForced_ ? std::max<std::int64_t>(0, *lastForced_ + interval_ - now) : 0;
}

}  // namespace quillory
