#pragma once

#include <cstdint>
#include <optional>
#include <set>

#include "platform/webrtc/gstreamer/picture_loss_limiter.h"

namespace quillory {

// What a receiver makes of the packets its jitter buffer gives up: a picture the lost packet
// belonged to stays broken until a keyframe of a later picture decodes (the decoder conceals
// rather than tells), and a keyframe request goes out for it, paced by the limiter. Pictures are
// named by their presentation times; requests are timed by uptime. Not thread-safe.
class PictureLossWatch {
  public:
    struct Request {
        bool now = false;
        // When to try again: set once for the request the limiter keeps.
        std::optional<std::int64_t> retryAt;
    };

    // Until asked to, a lost packet asks for nothing.
    void askOnLoss();
    // True when the loss asks for a keyframe.
    bool packetLost();
    void packetArrived(std::uint64_t picture);
    // Marks an IDR access unit, to know the pictures decoded from it.
    void keyframeDepayloaded(std::uint64_t picture);
    void pictureDecoded(std::uint64_t picture, std::int64_t now);
    // Whether the picture came from an IDR access unit; forgets it and any earlier one.
    bool takeKeyframe(std::uint64_t picture);
    // A loss, or the retry of the one kept.
    Request pictureLost(bool retry, std::int64_t now);
    std::uint64_t requests() const { return requests_; }

  private:
    static constexpr std::size_t keyframesKept = 64;
    bool keyframeUpTo(std::uint64_t picture) const;

    bool askOnLoss_ = false;
    std::set<std::uint64_t> keyframes_;  // times of keyframes not yet decoded
    // The first packet after a gap may belong to a picture whose start was lost.
    bool damageFromNextPacket_ = false;
    std::optional<std::uint64_t> damagedUpTo_;
    PictureLossLimiter limiter_;
    bool retryScheduled_ = false;
    std::uint64_t requests_ = 0;
};

}  // namespace quillory
