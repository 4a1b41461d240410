#pragma once

#include <cstdint>
#include <deque>
#include <optional>

namespace quillory {

// Paces a receiver's picture loss requests: no more than one per round trip and at most two in
// any second, so that a capped link, whose keyframes themselves lose packets, does not loop on
// keyframes. A loss refused now is kept and asked for once allowed, unless a keyframe repairs
// the picture first. The receiver sends no media, so its reports give it no round trip; the
// wait from a request to the keyframe answering it stands in: an upper bound that also covers
// the keyframe's own transfer. Not thread-safe: the owner serialises the calls.
class PictureLossLimiter {
  public:
    static constexpr std::int64_t initialRoundTripNanoseconds = 300'000'000;
    // A request or its keyframe may be lost for good; asking again is never held back longer.
    static constexpr std::int64_t maximumRoundTripNanoseconds = 1'000'000'000;
    static constexpr std::size_t requestsPerSecond = 2;

    // A loss the decoder cannot conceal, seen at `now`: whether to send a request now.
    bool lossDetected(std::int64_t now);
    // Whether the kept request may go at `now`; when it does, it counts as sent.
    bool retry(std::int64_t now);
    // A keyframe decoded at `now` repairs the picture and measures the request's round trip.
    void keyframeArrived(std::int64_t now);
    // When the kept request may go; none when nothing is kept.
    std::optional<std::int64_t> retryAt() const;
    std::int64_t roundTrip() const { return roundTrip_; }

  private:
    std::int64_t allowedAt() const;
    bool send(std::int64_t now);

    bool pending_ = false;
    std::optional<std::int64_t> awaitingKeyframeSince_;
    std::deque<std::int64_t> sent_;  // the last `requestsPerSecond` requests
    std::int64_t roundTrip_ = initialRoundTripNanoseconds;
};

}  // namespace quillory
