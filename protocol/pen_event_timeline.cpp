#include "protocol/pen_event_timeline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillory {

std::vector<double> PenEventTimeline::map(std::span<const double> timestamps, double present) {
    const auto finite = [](double value) { return std::isfinite(value); };
    if (timestamps.empty() || !finite(present) ||
        !std::all_of(timestamps.begin(), timestamps.end(), finite)) {
        return {};
    }
    const double latest = *std::max_element(timestamps.begin(), timestamps.end());
    const double candidate = present - latest;
    if (!std::isfinite(candidate)) {
        return {};
    }
    offset = offset ? std::min(*offset, candidate) : candidate;
    std::vector<double> times;
    times.reserve(timestamps.size());
    for (const double timestamp : timestamps) {
        const double local = std::clamp(*offset + timestamp, 0.0, std::max(present, 0.0));
        previous =
            std::max(std::nextafter(previous, std::numeric_limits<double>::infinity()), local);
        times.push_back(previous);
    }
    return times;
}

}  // namespace quillory
