#include "platform/webrtc/gstreamer/keyframe_request_limiter.h"

namespace quillory {

bool KeyframeRequestLimiter::forceKeyframe(std::int64_t now) {
    if (!pending_ || (lastForced_ && now - *lastForced_ < interval_)) {
        return false;
    }
    pending_ = false;
    lastForced_ = now;
    return true;
}

}  // namespace quillory
