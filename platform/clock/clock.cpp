#include "platform/clock/clock.h"

#include <ctime>

namespace quillory {

std::uint64_t uptimeNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000ULL +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

double uptimeSeconds() {
    return static_cast<double>(uptimeNanoseconds()) / 1e9;
}

}  // namespace quillory
