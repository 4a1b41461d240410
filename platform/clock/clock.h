#pragma once

#include <atomic>
#include <cstdint>

namespace quillory {

// Monotonic system uptime, the time base of the input and link paths.
std::uint64_t uptimeNanoseconds();
double uptimeSeconds();

// A source of uptime that tests can replace.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::uint64_t nowNanoseconds() const = 0;
    double nowSeconds() const { return static_cast<double>(nowNanoseconds()) / 1e9; }
};

class SystemClock final : public Clock {
  public:
    std::uint64_t nowNanoseconds() const override { return uptimeNanoseconds(); }
};

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
