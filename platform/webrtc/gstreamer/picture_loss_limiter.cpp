#include "platform/webrtc/gstreamer/picture_loss_limiter.h"

#include <algorithm>

namespace quillory {

namespace {
constexpr std::int64_t second = 1'000'000'000;
}

std::int64_t PictureLossLimiter::allowedAt() const {
    std::int64_t at = sent_.empty() ? 0 : sent_.back() + roundTrip_;
    if (sent_.size() >= requestsPerSecond) {
        at = std::max(at, sent_.front() + second);
    }
    return at;
}

bool PictureLossLimiter::send(std::int64_t now) {
    if (now < allowedAt()) {
        pending_ = true;
        return false;
    }
    pending_ = false;
    sent_.push_back(now);
    if (sent_.size() > requestsPerSecond) {
        sent_.pop_front();
    }
    if (!awaitingKeyframeSince_) {
        awaitingKeyframeSince_ = now;
    }
    return true;
}

bool PictureLossLimiter::lossDetected(std::int64_t now) {
    return send(now);
}

bool PictureLossLimiter::retry(std::int64_t now) {
    return pending_ && send(now);
}

void PictureLossLimiter::keyframeArrived(std::int64_t now) {
    pending_ = false;
    if (awaitingKeyframeSince_) {
        roundTrip_ =
            std::clamp(now - *awaitingKeyframeSince_, std::int64_t{0}, maximumRoundTripNanoseconds);
        awaitingKeyframeSince_.reset();
    }
}

std::optional<std::int64_t> PictureLossLimiter::retryAt() const {
    if (!pending_) {
        return std::nullopt;
    }
    return allowedAt();
}

}  // namespace quillory
