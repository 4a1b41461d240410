#pragma once

#include <optional>
#include <span>
#include <vector>

namespace quillory {

// Maps the tablet's sample times onto this computer's clock. The offset only ever shrinks (a
// late batch cannot push events into the future) and the results rise strictly across batches.
struct PenEventTimeline {
    std::optional<double> offset;
    double previous = 0;

    // Local times in seconds for the given tablet timestamps, at local time `present`. An empty
    // list or any non-finite value gives nothing and changes nothing. Each time is offset + t
    // clamped to 0...present, but at least the next representable value above the previous one.
    std::vector<double> map(std::span<const double> timestamps, double present);
};

}  // namespace quillory
