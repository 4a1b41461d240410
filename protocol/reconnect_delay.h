#pragma once

#include <array>
#include <cstddef>

namespace quillory {

// Seconds to wait before reconnect attempt `attempt` (counted from 0): 0.5, 1, 2, 4, 8, then 8.
// No jitter: one tablet per host.
constexpr double reconnectDelay(std::size_t attempt) {
    constexpr std::array<double, 5> delays{0.5, 1, 2, 4, 8};
    return attempt < delays.size() ? delays[attempt] : delays.back();
}

}  // namespace quillory
