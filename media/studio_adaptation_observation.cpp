#include "media/studio_adaptation_observation.h"

#include <algorithm>
#include <cmath>

namespace quillory {

namespace {

using Validity = StudioAdaptationObservation::Validity;

constexpr double maximumWindowSeconds = 2.0;
constexpr double maximumAgeSeconds = 0.5;
constexpr double minimumOverlap = 0.75;

bool usable(const std::optional<double>& value) {
    return value && std::isfinite(*value);
}

// Every comparison is written so that a time that is not a number fails it.
Validity judge(const StudioEncoderFeedback& f, const std::optional<StudioMediaInterval>& interval) {
    if (!interval) {
        return Validity::unavailable;
    }
    const StudioMediaInterval& i = *interval;
    if (!i.windowStart || !i.windowEnd || !(*i.windowStart < *i.windowEnd) ||
        *i.windowEnd - *i.windowStart > maximumWindowSeconds) {
        return Validity::stale;
    }
    const double start = *i.windowStart;
    const double end = *i.windowEnd;
    if (!(end <= f.observedAt) || f.observedAt - end >= maximumAgeSeconds) {
        return Validity::stale;
    }
    if (!(f.epochStartedAt <= start)) {
        return Validity::transition;
    }
    if (!f.windowStart) {
        return Validity::unavailable;
    }
    const double overlap = std::min(f.observedAt, end) - std::max(start, *f.windowStart);
    const double span = std::max(end - start, f.observedAt - *f.windowStart);
    const double ratio = std::max(overlap, 0.0) / span;
    if (!(ratio >= minimumOverlap)) {
        return Validity::unavailable;
    }
    if (i.frames == 0 && f.output == 0) {
        return Validity::idle;
    }
    if (!usable(i.meanQP) || !usable(i.queueMS) || !usable(i.retransmissionFraction)) {
        return Validity::unavailable;
    }
    return Validity::measured;
}

}  // namespace

StudioAdaptationObservation::StudioAdaptationObservation(
    const StudioEncoderFeedback& encoder, const std::optional<StudioMediaInterval>& interval)
    : encoder_(encoder), validity_(judge(encoder, interval)), interval_(interval) {}

}  // namespace quillory
