#pragma once

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

}  // namespace quillory
