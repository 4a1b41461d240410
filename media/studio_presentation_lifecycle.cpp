#include "media/studio_presentation_lifecycle.h"

#include <algorithm>
#include <cmath>

namespace quillory {

namespace {

// How long the display may take to report a frame, from the frame interval: a slow stream gets
// a fixed 1/15 s, a fast one two frames but no less than one 60 Hz refresh.
double reportDeadline(double frameInterval) {
    if (!std::isfinite(frameInterval) || !(frameInterval > 0.0)) {
        return 1.0 / 30.0;
    }
    if (frameInterval > 1.0 / 30.0) {
        return 1.0 / 15.0;
    }
    return std::max(2.0 * frameInterval, 1.0 / 60.0);
}

}  // namespace

std::uint64_t StudioPresentationLifecycle::begin(std::uint64_t serial, bool fresh, double now,
                                                 double frameInterval) {
    const bool retry = !fresh && current_ && current_->serial == serial;
    const int number = retry ? current_->number + 1 : 1;
    ++sequence_;
    current_ = Attempt{sequence_, serial, number, now + reportDeadline(frameInterval)};
    return sequence_;
}

void StudioPresentationLifecycle::complete(std::uint64_t id, bool gpuError) {
    if (!current_ || current_->id != id) {
        return;
    }
    current_->completed = true;
    if (gpuError) {
        current_->failure = Failure::gpuError;
    }
}

void StudioPresentationLifecycle::present(std::uint64_t id, std::optional<Failure> failure) {
    if (!current_ || current_->id != id) {
        return;
    }
    current_->presented = !failure.has_value();
    current_->failure = failure;
}

std::optional<StudioPresentationLifecycle::Decision> StudioPresentationLifecycle::decision(
    std::uint64_t serial, double now) {
    if (!current_ || current_->presented || current_->retired || current_->serial != serial ||
        !current_->completed || !std::isfinite(now)) {
        return std::nullopt;
    }
    Failure failure;
    if (current_->failure) {
        failure = *current_->failure;
    } else if (now >= current_->expires) {
        failure = Failure::missingCallback;
    } else {
        return std::nullopt;
    }
    if (current_->number < maximumAttempts) {
        return Decision::retry(failure);
    }
    current_->retired = true;
    return Decision::exhausted(failure);
}

}  // namespace quillory
