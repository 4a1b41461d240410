#include "app/interface/ink/ink_geometry.h"

#include <algorithm>

namespace quillory {

namespace {

using Phase = PenSample::Phase;

// A segment may start at a sample only when it is part of a stroke still going on.
bool anchors(const PenSample& sample) {
    return sample.phase == Phase::began || sample.phase == Phase::moved;
}

}  // namespace

InkPoint InkGeometry::point(const PenSample& sample, InkSize size) {
    return {sample.x * size.width, sample.y * size.height};
}

std::vector<InkPoint> InkGeometry::gridDots(InkSize size, bool grid) {
    std::vector<InkPoint> dots;
    if (!grid || size.width <= gridSpacing) {
        return dots;
    }
    for (double x = gridSpacing; x < size.width; x += gridSpacing) {
        for (double y = gridSpacing; y < size.height; y += gridSpacing) {
            dots.push_back({x, y});
        }
    }
    return dots;
}

void InkGeometry::marks(std::span<const PenSample> samples, std::size_t from, InkSize size,
                        std::vector<InkMark>& marks) {
    const PenSample* previous = nullptr;
    double previousWidth = 0;  // of the mark that ended at `previous`
    if (from > 0 && from <= samples.size() && anchors(samples[from - 1])) {
        previous = &samples[from - 1];
        if (previous->phase == Phase::began) {
            previousWidth = strokeWidth(previous->pressure);
        } else if (from > 1 && anchors(samples[from - 2])) {
            previousWidth = strokeWidth(std::max(samples[from - 2].pressure, previous->pressure));
        }
    }
    for (std::size_t i = from; i < samples.size(); ++i) {
        const PenSample& sample = samples[i];
        const InkPoint at = point(sample, size);
        switch (sample.phase) {
            case Phase::began:
                previousWidth = strokeWidth(sample.pressure);
                marks.push_back({InkMark::Kind::dot, at, at, previousWidth, 0});
                previous = &sample;
                break;
            case Phase::moved:
            case Phase::ended:
                if (previous) {
                    const double width = strokeWidth(std::max(previous->pressure, sample.pressure));
                    marks.push_back(
                        {InkMark::Kind::segment, point(*previous, size), at, width, previousWidth});
                    previousWidth = width;
                } else {
                    previousWidth = 0;
                }
                previous = sample.phase == Phase::moved ? &sample : nullptr;
                break;
            case Phase::cancelled:
            case Phase::hover:
                previous = nullptr;
                previousWidth = 0;
                break;
        }
    }
}

bool InkGeometry::hasInk(std::span<const PenSample> samples) {
    return std::any_of(samples.begin(), samples.end(), anchors);
}

}  // namespace quillory
