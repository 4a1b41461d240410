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

// The path got less through than was sent: a queue at its limit, which a rising delay alone, as
// a busy receiver reads it too, does not show.
bool fellBehind(const BandwidthFeedbackWindow& window) {
    const auto sent = usable(window.sentBps);
    const auto received = usable(window.receivedBps);
    return sent && received && *received < *sent * (1.0 - BandwidthEstimator::queueGrowthShare);
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

BandwidthEstimator::Signal BandwidthEstimator::classify(const BandwidthFeedbackWindow& window) {
    const bool rising = window.delayTrend == DelayTrend::overusing;
    // The delay trend reads a queue from the packets' timing; one that grows steadily but slowly
    // shows as less received than sent too.
    const auto sent = usable(window.sentBps);
    const auto received = usable(window.receivedBps);
    const bool queueGrowing = sent && received && *received < *sent * (1.0 - queueGrowthShare);
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

void BandwidthEstimator::decrease(const BandwidthFeedbackWindow& window) {
    // One congestion event shows in several windows; cut once per round trip.
    const double spacing =
        std::max(minimumDecreaseSpacingSeconds, usable(window.roundTripSeconds).value_or(0.0));
    if (lastDecreaseAt_ && window.atSeconds - *lastDecreaseAt_ < spacing) {
        return;
    }
    const auto loss = usable(window.lossPercent);
    double target = estimate_ * decreaseFactor;
    double received = 0;
    for (const auto& [at, rate] : received_) {
        received += rate / static_cast<double>(received_.size());
    }
    if (carried_ && window.atSeconds - carried_->first <= evidenceSeconds) {
        received = std::max(received, carried_->second);
    } else if (probed_ && received > 0) {
        // The first cut of a congestion event: the path was full, so what got through is what
        // it carries. The later cuts of the event, while the encoder follows this one, go no
        // lower, even where a window between bursts shows less received.
        carried_ = {window.atSeconds, received};
    }
    if (received > 0) {
        // What got through is what the path carries. The encoder follows a cut only over a
        // second or so, so later windows of the same congestion cut no further than that; cut at
        // most by half.
        target = std::min(estimate_, std::max(received * decreaseFactor, estimate_ * 0.5));
        // Only a path that fell behind or lost shows where it is full.
        if (fellBehind(window) || (loss && *loss >= lightLossPercent)) {
            limit_ = std::max(received, usable(window.receivedBps).value_or(0.0));
        }
    } else if (loss && *loss > heavyLossPercent) {
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

void BandwidthEstimator::noteCarried(double atSeconds, double bitsPerSecond) {
    if (!carried_ || atSeconds - carried_->first > evidenceSeconds ||
        bitsPerSecond > carried_->second) {
        carried_ = {atSeconds, bitsPerSecond};
    }
}

void BandwidthEstimator::drain(const BandwidthFeedbackWindow& window) {
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
    if (fellBehind(window)) {
        limit_ = std::max(limit_.value_or(0.0), *received);
    }
    // Later cuts of this congestion go no lower.
    noteCarried(window.atSeconds, *received);
    estimate_ = std::max(estimate_, clamp(std::min(*received * decreaseFactor, cutFrom_)));
}

void BandwidthEstimator::increase(const BandwidthFeedbackWindow& window) {
    if (!rampEnded_ && rampSteps_ < 2) {
        if (!rampStart_) {
            rampStart_ = window.atSeconds;
            rampBase_ = estimate_;
            return;
        }
        const double due = *rampStart_ + rampStepSeconds * (rampSteps_ + 1);
        if (window.atSeconds >= due) {
            // Of where the ramp started: a probe may have lifted the estimate past a step already.
            rampBase_ *= rampSteps_ == 0 ? firstRampFactor : secondRampFactor;
            estimate_ = clamp(std::max(estimate_, rampBase_));
            rampSteps_ += 1;
        }
        return;
    }
    const auto sent = usable(window.sentBps);
    if (sent && *sent < estimate_ * underuseShare) {
        return;
    }
    // A cut long past, with the path clean since, says the congestion has gone: growing by a
    // few percent a second would take half a minute back to a fast link. Where probes measure
    // the path, they take the place of these blind steps.
    if (!probed_ && lastDecreaseAt_ && window.atSeconds - *lastDecreaseAt_ >= probeAfterSeconds) {
        if (!lastProbeStepAt_ || window.atSeconds - *lastProbeStepAt_ >= rampStepSeconds) {
            estimate_ = clamp(estimate_ * probeStepFactor);
            lastProbeStepAt_ = window.atSeconds;
        }
        return;
    }
    const double elapsed = lastAt_ ? std::clamp(window.atSeconds - *lastAt_, 0.0, 1.0) : 0.0;
    if (atLimit()) {
        estimate_ = clamp(estimate_ + *limit_ * pastLimitGrowthPerSecond * elapsed);
        return;
    }
    const double grown = estimate_ * std::pow(1.0 + growthPerSecond, elapsed);
    estimate_ = clamp(probed_ && limit_ ? std::min(grown, *limit_) : grown);
}

std::int64_t BandwidthEstimator::probed(const ProbeResult& result, double targetBps,
                                        double atSeconds) {
    const double measuredBps = result.bitsPerSecond;
    if (!std::isfinite(measuredBps) || !std::isfinite(targetBps) || !std::isfinite(atSeconds) ||
        measuredBps <= 0) {
        return estimateBps();
    }
    const double carried = std::min(measuredBps, targetBps);
    // A probe that measured nothing of the path says at most that it takes what the probe
    // carried.
    if (!measuredPath(result, targetBps, estimate_)) {
        estimate_ = std::max(estimate_, clamp(carried));
        return estimateBps();
    }
    probed_ = true;
    double found = carried;
    // A probe the path slowed short of its aim read the path's limit, which counts once a second
    // one reads it alike: a busy receiver's timing of one short burst reads it high or low. The
    // lower of the two is the limit, which ends the start-up ramp, whose steps until then stand
    // for what probes a busy sender cannot send would show. A probe that carried more than a
    // limit shows room above it.
    if (result.pathLimited && measuredBps < targetBps * probeLeftShortShare) {
        const bool alike = unconfirmedLimit_ &&
                           atSeconds - unconfirmedLimit_->first <= evidenceSeconds &&
                           std::min(carried, unconfirmedLimit_->second) >=
                               std::max(carried, unconfirmedLimit_->second) * limitReadingsAlike;
        if (!alike) {
            unconfirmedLimit_ = {atSeconds, carried};
            return estimateBps();
        }
        found = std::min(carried, unconfirmedLimit_->second);
        limit_ = found;
        rampEnded_ = true;
        unconfirmedLimit_.reset();
    } else {
        if (limit_ && carried > *limit_) {
            limit_.reset();
        }
        if (unconfirmedLimit_ && carried > unconfirmedLimit_->second) {
            unconfirmedLimit_.reset();
        }
    }
    // Probes sent together measure the same path: the one that carried most tells its room.
    noteCarried(atSeconds, found);
    estimate_ = std::max(estimate_, clamp(found));
    return estimateBps();
}

std::int64_t BandwidthEstimator::update(const BandwidthFeedbackWindow& window) {
    if (!std::isfinite(window.atSeconds) || (lastAt_ && window.atSeconds < *lastAt_)) {
        return estimateBps();
    }
    if (const auto received = usable(window.receivedBps); received && *received > 0) {
        received_.emplace_back(window.atSeconds, *received);
    }
    while (!received_.empty() &&
           received_.front().first < window.atSeconds - receivedAverageSeconds) {
        received_.pop_front();
    }
    // The encoder filling a rate a probe opened overflows no queue; heavy loss says the path
    // narrowed since.
    if (const auto loss = usable(window.lossPercent); loss && *loss > heavyLossPercent) {
        carried_.reset();
    }
    const Signal signal = classify(window);
    if (signal != Signal::clean) {
        cleanSince_.reset();
    } else if (!cleanSince_) {
        cleanSince_ = window.atSeconds;
    }
    drain(window);
    switch (signal) {
        case Signal::overuse:
            rampEnded_ = true;
            decrease(window);
            break;
        case Signal::hold:
            // The ramp's steps are a second apart while clean; a doubtful window restarts the
            // clock.
            if (rampStart_ && !rampEnded_) {
                rampStart_ = window.atSeconds - rampStepSeconds * rampSteps_;
            }
            break;
        case Signal::clean:
            increase(window);
            break;
    }
    lastAt_ = window.atSeconds;
    return estimateBps();
}

}  // namespace quillory
