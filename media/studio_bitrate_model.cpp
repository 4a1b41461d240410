#include "media/studio_bitrate_model.h"

#include <array>
#include <cstdint>

namespace quillory {

namespace {

struct Breakpoint {
    std::int64_t pixels;
    std::int64_t bitsPerSecond;
};

constexpr std::array<Breakpoint, 6> breakpoints{{
    {57'600, 0},
    {129'600, 200'000},
    {230'400, 300'000},
    {518'400, 500'000},
    {921'600, 900'000},
    {2'073'600, 2'000'000},
}};

}  // namespace

double bitrateForPixels(int width, int height) {
    const std::int64_t n = static_cast<std::int64_t>(width) * static_cast<std::int64_t>(height);
    if (n <= breakpoints.front().pixels) {
        return 0.0;
    }
    for (std::size_t i = 1; i < breakpoints.size(); ++i) {
        const Breakpoint& upper = breakpoints[i];
        if (upper.pixels >= n) {
            const Breakpoint& lower = breakpoints[i - 1];
            return static_cast<double>(n - lower.pixels) /
                       static_cast<double>(upper.pixels - lower.pixels) *
                       static_cast<double>(upper.bitsPerSecond - lower.bitsPerSecond) +
                   static_cast<double>(lower.bitsPerSecond);
        }
    }
    // Beyond the table the last segment's slope runs through the origin.
    const Breakpoint& last = breakpoints.back();
    return static_cast<double>(n) * static_cast<double>(last.bitsPerSecond) /
           static_cast<double>(last.pixels);
}

double rateFactor(int framesPerSecond) {
    switch (framesPerSecond) {
        case 15:
            return 0.325;
        case 30:
            return 0.65;
        default:
            return 1.0;
    }
}

double bitrateNeed(const StudioOperatingPoint& point) {
    return rateFactor(point.framesPerSecond) *
           bitrateForPixels(point.size.width, point.size.height);
}

double fundingBitrate(const StudioOperatingPoint& point) {
    return bitrateNeed(point) * fundingHeadroom;
}

double retentionBitrate(const StudioOperatingPoint& point) {
    return bitrateNeed(point) * retentionShare;
}

}  // namespace quillory
