#pragma once

#include <cstdint>
#include <optional>

namespace quillory {

// Drops frames above a maximum rate by their timestamps. A frame is admitted when it is no more
// than half an interval early, so a source at exactly the maximum rate with jittery timestamps
// keeps every frame, and one at twice the rate keeps every other. Not thread-safe.
class FrameRateLimiter {
  public:
    // 0 or less: no limit.
    void setMaximumRate(int framesPerSecond);
    bool admit(std::int64_t timestampNanoseconds);

  private:
    std::int64_t interval_ = 0;
    std::optional<std::int64_t> next_;
};

}  // namespace quillory
