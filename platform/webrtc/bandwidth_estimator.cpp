#include "platform/webrtc/bandwidth_estimator.h"

#include <algorithm>
#include <cmath>

namespace quillory {
namespace {

std::optional<double> usable(std::optional<double> value) {
    if (!value || !std::isfinite(*value) || *value < 0) {
        return std::nullopt;
    }
    return value;
}

// The path got less through than was sent: a queue at its limit.
bool fellBehind(const BandwidthFeedbackWindow& window) {
    const auto sent = usable(window.sentBps);
    const auto received = usable(window.receivedBps);
    return sent && received && *received < *sent * (1.0 - BandwidthEstimator::queueGrowthShare);
}

// What got through: what was received, and no more than was sent and not lost.
std::optional<double> gotThrough(const BandwidthFeedbackWindow& window) {
    auto received = usable(window.receivedBps);
    const auto sent = usable(window.sentBps);
    const auto loss = usable(window.lossPercent);
    if (received && sent && loss) {
        received = std::min(*received, *sent * (1.0 - std::min(*loss, 100.0) / 100.0));
    }
    return received;
}

}  // namespace

BandwidthEstimator::BandwidthEstimator(std::int64_t initialBps, std::int64_t maximumBps)
    : estimate_(static_cast<double>(initialBps)),
      maximum_(static_cast<double>(std::max(maximumBps, floorBps))) {
    estimate_ = clamp(estimate_);
}

void BandwidthEstimator::setBounds(const BitrateBounds& bounds) {
    if (bounds.minimumBps) {
        minimum_ = static_cast<double>(std::max(*bounds.minimumBps, floorBps));
    }
    if (bounds.maximumBps) {
        maximum_ = std::max(static_cast<double>(*bounds.maximumBps), minimum_);
    }
    if (bounds.currentBps) {
        estimate_ = static_cast<double>(*bounds.currentBps);
    }
    estimate_ = clamp(estimate_);
}

double BandwidthEstimator::clamp(double value) const {
    return std::clamp(value, minimum_, std::max(minimum_, maximum_));
}

bool BandwidthEstimator::atLimit() const {
    const auto limit = limit_.bitsPerSecond();
    return probed_ && limit && estimate_ >= *limit;
}

BandwidthEstimator::Signal BandwidthEstimator::classify(const BandwidthFeedbackWindow& window) {
    const bool rising = window.delayTrend == DelayTrend::overusing;
    // The delay trend reads a queue from the packets' timing; one that grows steadily but slowly
    // shows as less received than sent too.
    const bool queueGrowing = fellBehind(window);
    if (window.delayTrend || queueGrowing) {
        risingWindows_ = rising || queueGrowing ? risingWindows_ + 1 : 0;
    }
    const auto loss = usable(window.lossPercent);
    if (risingWindows_ >= risingDelayWindows || (loss && *loss > heavyLossPercent)) {
        return Signal::overuse;
    }
    // A draining queue is no room to grow into yet.
    if (!loss || *loss >= lightLossPercent || risingWindows_ > 0 ||
        window.delayTrend == DelayTrend::underusing) {
        return Signal::hold;
    }
    return Signal::clean;
}

BandwidthEstimator::Growth BandwidthEstimator::growth(double atSeconds) const {
    if (ramp_.running()) {
        return Growth::ramp;
    }
    // Where probes measure the path, they take the place of blind steps.
    if (!probed_ && lastDecreaseAt_ && atSeconds - *lastDecreaseAt_ >= stepUpAfterSeconds) {
        return Growth::stepUp;
    }
    return atLimit() ? Growth::pastLimit : Growth::steady;
}

double BandwidthEstimator::meanReceived(bool full) const {
    double sum = 0;
    int count = 0;
    for (const Received& window : received_) {
        // A full window measured the path for the cut it led to; the next cut goes by the
        // windows since, or it would lag behind a path that narrows on.
        const bool answered = lastDecreaseAt_ && window.atSeconds <= *lastDecreaseAt_;
        if (!full || (window.full && !answered)) {
            sum += window.bitsPerSecond;
            count += 1;
        }
    }
    return count > 0 ? sum / count : 0.0;
}

void BandwidthEstimator::noteCarried(double atSeconds, double bitsPerSecond, bool full) {
    if (full) {
        carried_ = {atSeconds, bitsPerSecond};
        limit_.full(bitsPerSecond);
    } else if (!carried_ || atSeconds - carried_->first > evidenceSeconds ||
               bitsPerSecond > carried_->second) {
        // Probes sent together measure the same path: the one that carried most tells its room.
        carried_ = {atSeconds, bitsPerSecond};
    }
}

void BandwidthEstimator::decrease(const BandwidthFeedbackWindow& window, bool full) {
    const double spacing =
        std::max(minimumDecreaseSpacingSeconds, usable(window.roundTripSeconds).value_or(0.0));
    if (lastDecreaseAt_ && window.atSeconds - *lastDecreaseAt_ < spacing) {
        return;
    }
    double received = meanReceived(full);
    if (full) {
        // A queue that drains at a higher rate than the windows before it is the path's present.
        received = std::max(received, gotThrough(window).value_or(0.0));
    }
    double target = estimate_ * decreaseFactor;
    if (received > 0) {
        // Rising delay alone, as a busy receiver reads it too, says only that what was sent got
        // through, which the encoder, still following an earlier change, may have kept below
        // what the path lately carried: that bounds the cut. So it does where the path was full,
        // give or take a window's timing of a few packets, unless it got through less than a cut
        // from what the path carried would aim at: a path that narrowed by more than a cut
        // assumes.
        if (carried_ && window.atSeconds - carried_->first <= evidenceSeconds &&
            !(full && received < carried_->second * decreaseFactor)) {
            received = std::max(received, carried_->second);
        }
        // Cut at most by half: the encoder follows a cut only over a second or so, so the
        // windows meanwhile may show little of the path.
        target = std::min(estimate_, std::max(received * decreaseFactor, estimate_ * 0.5));
        noteCarried(window.atSeconds, received, full);
    } else if (const auto loss = usable(window.lossPercent); loss && *loss > heavyLossPercent) {
        // Without a received rate, loss says how much got through.
        target = std::min(target, estimate_ * (1.0 - 0.5 * std::min(*loss, 100.0) / 100.0));
    }
    // A queue the path carries more than the estimate through was a burst's: no cut.
    if (clamp(target) < estimate_) {
        lastDecreaseAt_ = window.atSeconds;
        cutFrom_ = estimate_;
    }
    estimate_ = clamp(target);
}

void BandwidthEstimator::drain(const BandwidthFeedbackWindow& window, bool full) {
    if (!lastDecreaseAt_ || window.atSeconds - *lastDecreaseAt_ > drainSeconds) {
        return;
    }
    const auto sent = usable(window.sentBps);
    const auto received = usable(window.receivedBps);
    const auto loss = usable(window.lossPercent);
    if (!sent || !received || (loss && *loss >= lightLossPercent)) {
        return;
    }
    const bool queued = window.delayTrend == DelayTrend::overusing ||
                        window.delayTrend == DelayTrend::underusing ||
                        std::abs(*received - *sent) > *sent * queueGrowthShare;
    if (!queued) {
        return;
    }
    noteCarried(window.atSeconds, *received, full);
    // Never above where the cut began: that estimate made the queue.
    estimate_ = std::max(estimate_, clamp(std::min(*received * decreaseFactor, cutFrom_)));
}

void BandwidthEstimator::increase(const BandwidthFeedbackWindow& window) {
    const Growth way = growth(window.atSeconds);
    if (way == Growth::ramp) {
        // A still screen does not stop the ramp: its steps do not wait for the encoder.
        estimate_ = clamp(ramp_.clean(window.atSeconds, estimate_));
        return;
    }
    if (const auto sent = usable(window.sentBps); sent && *sent < estimate_ * underuseShare) {
        return;
    }
    const double elapsed = lastAt_ ? std::clamp(window.atSeconds - *lastAt_, 0.0, 1.0) : 0.0;
    const auto limit = limit_.bitsPerSecond();
    switch (way) {
        case Growth::stepUp:
            if (!lastStepUpAt_ || window.atSeconds - *lastStepUpAt_ >= stepUpSeconds) {
                estimate_ = clamp(estimate_ * stepUpFactor);
                lastStepUpAt_ = window.atSeconds;
            }
            break;
        case Growth::pastLimit:
            estimate_ = clamp(estimate_ + *limit * pastLimitGrowthPerSecond * elapsed);
            break;
        case Growth::steady: {
            const double grown = estimate_ * std::pow(1.0 + growthPerSecond, elapsed);
            estimate_ = clamp(probed_ && limit ? std::min(grown, *limit) : grown);
            break;
        }
        case Growth::ramp:
            break;
    }
}

std::int64_t BandwidthEstimator::probed(const ProbeResult& result, double targetBps,
                                        double atSeconds) {
    const double measuredBps = result.bitsPerSecond;
    if (!std::isfinite(measuredBps) || !std::isfinite(targetBps) || !std::isfinite(atSeconds) ||
        measuredBps <= 0) {
        return estimateBps();
    }
    const double carried = std::min(measuredBps, targetBps);
    switch (readProbe(result, targetBps, estimate_)) {
        case ProbeReading::sentShort:
        case ProbeReading::misread:
            // It measured nothing of the path but that it takes what the probe carried.
            break;
        case ProbeReading::limitReading: {
            probed_ = true;
            const auto confirmed = limit_.read(atSeconds, carried);
            if (!confirmed) {
                return estimateBps();
            }
            ramp_.end();
            noteCarried(atSeconds, *confirmed, true);
            estimate_ = std::max(estimate_, clamp(*confirmed));
            return estimateBps();
        }
        case ProbeReading::gotThrough:
            probed_ = true;
            limit_.carried(carried);
            noteCarried(atSeconds, carried, false);
            break;
    }
    estimate_ = std::max(estimate_, clamp(carried));
    return estimateBps();
}

std::int64_t BandwidthEstimator::update(const BandwidthFeedbackWindow& window) {
    if (!std::isfinite(window.atSeconds) || (lastAt_ && window.atSeconds < *lastAt_)) {
        return estimateBps();
    }
    const auto loss = usable(window.lossPercent);
    const bool full = fellBehind(window) || (loss && *loss >= lightLossPercent);
    if (const auto received = gotThrough(window); received && *received > 0) {
        received_.push_back({window.atSeconds, *received, full});
    }
    while (!received_.empty() &&
           received_.front().atSeconds < window.atSeconds - receivedAverageSeconds) {
        received_.pop_front();
    }
    const Signal signal = classify(window);
    if (signal != Signal::clean) {
        cleanSince_.reset();
    } else if (!cleanSince_) {
        cleanSince_ = window.atSeconds;
    }
    drain(window, full);
    switch (signal) {
        case Signal::overuse:
            ramp_.end();
            decrease(window, full);
            break;
        case Signal::hold:
            ramp_.hold(window.atSeconds);
            break;
        case Signal::clean:
            increase(window);
            break;
    }
    lastAt_ = window.atSeconds;
    return estimateBps();
}

}  // namespace quillory
