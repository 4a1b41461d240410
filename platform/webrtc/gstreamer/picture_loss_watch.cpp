#include "platform/webrtc/gstreamer/picture_loss_watch.h"

#include <utility>

namespace quillory {

void PictureLossWatch::askOnLoss() {
    askOnLoss_ = true;
}

bool PictureLossWatch::packetLost() {
    if (!askOnLoss_) {
        return false;
    }
    damageFromNextPacket_ = true;
    return true;
}

void PictureLossWatch::packetArrived(std::uint64_t picture) {
    if (std::exchange(damageFromNextPacket_, false)) {
        damagedUpTo_ = picture;
    }
}

void PictureLossWatch::keyframeDepayloaded(std::uint64_t picture) {
    keyframes_.insert(picture);
    while (keyframes_.size() > keyframesKept) {
        keyframes_.erase(keyframes_.begin());
    }
}

void PictureLossWatch::pictureDecoded(std::uint64_t picture, std::int64_t now) {
    // The picture right after a gap may lack its start, so only a keyframe of a later picture
    // repairs it.
    const bool repaired = !damageFromNextPacket_ && (!damagedUpTo_ || picture > *damagedUpTo_);
    if (repaired && keyframeUpTo(picture)) {
        limiter_.keyframeArrived(now);
    }
}

bool PictureLossWatch::takeKeyframe(std::uint64_t picture) {
    const bool keyframe = keyframeUpTo(picture);
    keyframes_.erase(keyframes_.begin(), keyframes_.upper_bound(picture));
    return keyframe;
}

// A keyframe that arrives late through a full queue may be given the time of the picture before
// it, and the decoder then moves it a frame on: it counts for the first picture at or after its
// time, not only for one of that very time.
bool PictureLossWatch::keyframeUpTo(std::uint64_t picture) const {
    return !keyframes_.empty() && *keyframes_.begin() <= picture;
}

PictureLossWatch::Request PictureLossWatch::pictureLost(bool retry, std::int64_t now) {
    retryScheduled_ = retryScheduled_ && !retry;
    if (retry ? limiter_.retry(now) : limiter_.lossDetected(now)) {
        ++requests_;
        return {.now = true};
    }
    const std::optional<std::int64_t> at = limiter_.retryAt();
    if (!at || retryScheduled_) {
        return {};
    }
    retryScheduled_ = true;
    return {.retryAt = at};
}

}  // namespace quillory
