#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock/clock.h"

namespace quillory {

// A clock that moves only when told; safe to read from any thread.
class FakeClock final : public Clock {
  public:
    explicit FakeClock(std::uint64_t startNanoseconds = 1'000'000'000) : now_(startNanoseconds) {}
    std::uint64_t nowNanoseconds() const override { return now_.load(); }
    void set(std::uint64_t nanoseconds) { now_.store(nanoseconds); }
    void advance(double seconds) { now_ += static_cast<std::uint64_t>(seconds * 1e9); }

  private:
    std::atomic<std::uint64_t> now_;
};

}  // namespace quillory
