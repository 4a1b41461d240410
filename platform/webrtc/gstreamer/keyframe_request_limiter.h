#pragma once

#include <cstdint>
#include <optional>

namespace quillory {

// Turns keyframe requests into forced IDRs, at most one per interval. A receiver asking on every
// loss would otherwise get an IDR storm; a request inside the interval is kept and served when
// the interval ends, never lost. Not thread-safe: the owner serialises the calls.
class KeyframeRequestLimiter {
  public:
    static constexpr std::int64_t defaultIntervalNanoseconds = 300'000'000;

    explicit KeyframeRequestLimiter(std::int64_t intervalNanoseconds = defaultIntervalNanoseconds)
        : interval_(intervalNanoseconds) {}

    void request() { pending_ = true; }
    // For the frame about to be encoded at `now`: whether it must be an IDR.
    bool forceKeyframe(std::int64_t now);
    // An IDR went out for another reason (a start); it counts against the interval.
    void keyframeSent(std::int64_t now) { lastForced_ = now; }
    bool pending() const { return pending_; }
    // Nanoseconds from `now` until a pending request may be served; 0 when it may be now.
    std::int64_t wait(std::int64_t now) const;

  private:
    const std::int64_t interval_;
    bool pending_ = false;
    std::optional<std::int64_t> lastForced_;
};

}  // namespace quillory
