#include "media/studio_operating_point_policy.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "media/studio_bitrate_model.h"
#include "media/studio_playback_policy.h"

namespace quillory {

namespace {

using Condition = StudioRecoveryEvidence::Condition;
using Validity = StudioAdaptationObservation::Validity;

// A promotion carries at most the healthy run it needed.
constexpr double maximumCreditSeconds = StudioOperatingPointPolicy::recoverySeconds;
constexpr double confirmationSeconds = 5.0;
constexpr double allocationGapSeconds = 2.0;
constexpr double healthGapSeconds = 2.0;
constexpr double formatTolerance = 0.1;
constexpr int keyframeDropLimit = 3;
constexpr int minimumSubmitted = 10;
constexpr double dropShareLimit = 0.2;
constexpr double severeAfterSeconds = 1.0;
constexpr double compressionQP = 39.0;
constexpr double negativeInfinity = -std::numeric_limits<double>::infinity();

double presetWeight(StudioPreset preset) {
    switch (preset) {
        case StudioPreset::quality:
            return 1.25;
        case StudioPreset::responsive:
            return 4.0;
        case StudioPreset::balanced:
            break;
    }
    return 2.0;
}

double frameRateWeight(int framesPerSecond, double weight) {
    if (framesPerSecond == StudioOperatingPointPolicy::emergencyFramesPerSecond) {
        return 1.0 / weight;
    }
    if (framesPerSecond == 60) {
        return weight;
    }
    return 1.0;
}

// How far the encoder's frame size is from the target's, as a share of the target's pixels.
double sizeMismatch(const StudioEncoderFeedback& feedback, const StudioOperatingPoint& target) {
    const double encoderPixels =
        static_cast<double>(feedback.width) * static_cast<double>(feedback.height);
    return std::abs(encoderPixels / static_cast<double>(target.pixelCount()) - 1.0);
}

bool matchesTarget(const StudioEncoderFeedback& feedback, const StudioOperatingPoint& target) {
    return sizeMismatch(feedback, target) < formatTolerance &&
           feedback.framesPerSecond == target.framesPerSecond;
}

}  // namespace

bool candidatePrecedes(const StudioOperatingPoint& a, const StudioOperatingPoint& b,
                       StudioPreset preset) {
    const double weight = presetWeight(preset);
    const double costA =
        frameRateWeight(a.framesPerSecond, weight) * static_cast<double>(a.pixelCount());
    const double costB =
        frameRateWeight(b.framesPerSecond, weight) * static_cast<double>(b.pixelCount());
    if (costA != costB) {
        return costA < costB;
    }
    return bitrateNeed(a) < bitrateNeed(b);
}

std::vector<StudioOperatingPoint> StudioOperatingPointPolicy::makeCandidates(int width, int height,
                                                                             StudioPreset preset) {
    const std::vector<StudioSourceSize> sizes =
        StudioSourceSize::ladder(width, height, std::numeric_limits<std::int64_t>::max());
    const auto longEdge = [](const StudioSourceSize& s) { return std::max(s.width, s.height); };
    const int floor = std::min(longEdge(sizes.back()), minimumLongEdge);

    std::vector<StudioOperatingPoint> points;
    for (const StudioSourceSize& size : sizes) {
        if (longEdge(size) >= floor) {
            points.push_back({size, 30});
            points.push_back({size, 60});
        }
    }
    // One low-rate point below the smallest kept size, for emergencies.
    points.push_back({points.front().size, emergencyFramesPerSecond});
    std::stable_sort(points.begin(), points.end(), [preset](const auto& a, const auto& b) {
        return candidatePrecedes(a, b, preset);
    });
    return points;
}

StudioOperatingPoint StudioOperatingPointPolicy::selectInitial(
    const std::vector<StudioOperatingPoint>& candidates, std::int64_t bitrate) {
    for (auto c = candidates.rbegin(); c != candidates.rend(); ++c) {
        if (fundingBitrate(*c) <= static_cast<double>(bitrate)) {
            return *c;
        }
    }
    return candidates.front();
}

StudioOperatingPointPolicy::StudioOperatingPointPolicy(StudioPreset preset, int width, int height,
                                                       double now)
    : configuration_{preset, width, height},
      funding_(makeCandidates(width, height, preset), StudioPlaybackPolicy::initialBitrateBps, now),
      lastChange_(now) {
    target_ = selectInitial(funding_.candidates(), StudioPlaybackPolicy::initialBitrateBps);
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::reconfigure(
    const StudioStreamConfiguration& configuration, double now) {
    if (configuration == configuration_) {
        return std::nullopt;
    }
    configuration_ = configuration;
    funding_.rebuild(
        makeCandidates(configuration.width, configuration.height, configuration.preset));
    starting_ = false;
    run_.forgetEvidence();
    run_.idlePromotionAvailable = true;
    const StudioOperatingPoint point = selectInitial(funding_.candidates(), funding_.bitrate());
    run_.clearHealth();
    run_.transitionCredit = 0.0;
    nextDeadline_.reset();
    return applyTarget(point, false, now);
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::applyTarget(
    const StudioOperatingPoint& point, bool preserveCredit, double now) {
    if (point == target_) {
        return std::nullopt;
    }
    run_.transitionCredit = 0.0;
    if (preserveCredit && run_.healthySince) {
        run_.transitionCredit =
            std::min(maximumCreditSeconds, std::max(0.0, now - *run_.healthySince));
    }
    run_.forgetEvidence();
    target_ = point;
    lastChange_ = now;
    appliedAt_.reset();
    confirmed_ = false;
    nextDeadline_.reset();
    pressureSince_.reset();
    run_.clearHealth();
    return point;
}

void StudioOperatingPointPolicy::markApplied(const StudioOperatingPoint& point, double now) {
    if (point != target_) {
        return;
    }
    appliedAt_ = now;
    confirmed_ = false;
    nextDeadline_ = now + confirmationSeconds;
}

void StudioOperatingPointPolicy::reset() {
    suspended_ = true;
    starting_ = false;
    funding_.forget();
    run_.forgetEvidence();
    run_.idlePromotionAvailable = true;
    appliedAt_.reset();
    confirmed_ = false;
    run_.transitionCredit = 0.0;
    run_.clearHealth();
    nextDeadline_.reset();
    pressureSince_.reset();
    run_.latest.reset();
    run_.lastIntervalEnd.reset();
}

void StudioOperatingPointPolicy::resume(double now) {
    funding_.resume(now);
    lastChange_ = now;
    appliedAt_ = now;
    suspended_ = false;
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::observe(
    const StudioAdaptationObservation& observation, double now) {
    const StudioEncoderFeedback& f = observation.encoder();
    if (suspended_ || !std::isfinite(now) || !funding_.accept(f, now)) {
        return std::nullopt;
    }
    Step step{.observation = observation, .previous = target_, .now = now};
    if (f.bitrate < 1) {
        run_.clearHealth();
        run_.transitionCredit = 0.0;
        nextDeadline_.reset();
        pressureSince_.reset();
        run_.forgetEvidence();
        return decide(step, "native-paused");
    }
    step.awaiting = !confirmFormat(f, now);
    classify(step);
    if (step.underfunded) {
        starting_ = false;
        run_.recoveryAllowed = false;
        run_.clearHealth();
        run_.transitionCredit = 0.0;
        nextDeadline_.reset();
    }
    // Underfunding alone never steps down.
    if (step.pressure) {
        return relievePressure(step);
    }
    if (!step.fresh) {
        return decide(step, "awaiting-interval");
    }
    return evaluate(step);
}

bool StudioOperatingPointPolicy::confirmFormat(const StudioEncoderFeedback& f, double now) {
    const bool outputSinceApplied = appliedAt_ && f.observedAt >= *appliedAt_ && f.output >= 1;
    if (confirmed_ && outputSinceApplied && !matchesTarget(f, target_)) {
        confirmed_ = false;
        run_.clearHealth();
        nextDeadline_.reset();
        run_.forgetEvidence();
    }
    if (confirmed_) {
        return true;
    }
    if (!outputSinceApplied || !matchesTarget(f, target_)) {
        return false;
    }
    confirmed_ = true;
    if (run_.transitionCredit > 0.0 && now - *appliedAt_ <= confirmationSeconds) {
        run_.healthySince = now - run_.transitionCredit;
    }
    run_.transitionCredit = 0.0;
    return true;
}

void StudioOperatingPointPolicy::classify(Step& step) {
    const StudioAdaptationObservation& observation = step.observation;
    const StudioEncoderFeedback& f = observation.encoder();
    const std::optional<StudioMediaInterval>& interval = observation.interval();
    step.fresh = run_.takeInterval(observation);
    if (run_.lastHealthyAt && step.now - *run_.lastHealthyAt > healthGapSeconds) {
        run_.clearHealth();
        run_.forgetEvidence();
    }
    const double intervalStart =
        interval && interval->windowStart ? *interval->windowStart : negativeInfinity;
    step.postApply = appliedAt_ && f.windowStart.value_or(negativeInfinity) >= *appliedAt_ &&
                     intervalStart >= *appliedAt_;
    // Evidence is gathered only from fresh intervals measured wholly at a confirmed target.
    const bool gathering = step.postApply && step.fresh && !step.awaiting;
    step.condition = gathering ? run_.evidence.add(observation) : run_.evidence.condition();
    const bool measured =
        step.postApply && step.fresh && observation.validity() == Validity::measured;

    step.underfunded = retentionBitrate(target_) > static_cast<double>(funding_.bitrate());
    step.keyframes = f.consecutiveKeyframeDrops >= keyframeDropLimit;
    const bool drops =
        measured && f.submitted >= minimumSubmitted &&
        static_cast<double>(f.dropped) / static_cast<double>(f.submitted) >= dropShareLimit;
    step.encoderPressure = step.keyframes || drops;
    step.pressure = step.encoderPressure || (gathering && step.condition == Condition::pressured);
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::relievePressure(const Step& step) {
    const StudioEncoderFeedback& f = step.observation.encoder();
    starting_ = false;
    run_.recoveryAllowed = false;
    run_.clearHealth();
    run_.transitionCredit = 0.0;
    const bool inForce = appliedAt_ && f.observedAt >= *appliedAt_ && matchesTarget(f, target_);
    if (!inForce) {
        nextDeadline_.reset();
        return decide(step, "awaiting-effective-format");
    }
    if (!pressureSince_) {
        pressureSince_ = step.now;
    }
    const double targetNeed = bitrateNeed(target_);
    const bool severe = step.keyframes ||
                        targetNeed * severityShare > static_cast<double>(funding_.bitrate()) ||
                        step.now - *pressureSince_ >= severeAfterSeconds;
    if (!severe) {
        nextDeadline_.reset();
        return decide(step, "pressure-observed");
    }
    // The richest lower point that saves at least a tenth without raising the frame rate.
    const std::vector<StudioOperatingPoint>& candidates = funding_.candidates();
    const std::size_t end = funding_.indexOf(target_).value_or(candidates.size());
    std::optional<StudioOperatingPoint> lower;
    for (std::size_t k = end; k-- > 0;) {
        const StudioOperatingPoint& c = candidates[k];
        if (bitrateNeed(c) < stepDownShare * targetNeed &&
            c.framesPerSecond <= target_.framesPerSecond) {
            lower = c;
            break;
        }
    }
    const std::string_view reason =
        step.encoderPressure                                                ? "hardware-pressure"
        : run_.evidence.meanQP() && *run_.evidence.meanQP() > compressionQP ? "compression-pressure"
                                                                            : "delivery-pressure";
    if (!lower) {
        nextDeadline_.reset();
        return decide(step, "minimum-detail-under-pressure");
    }
    return decide(step, reason, applyTarget(*lower, false, step.now));
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::evaluate(const Step& step) {
    const Validity validity = step.observation.validity();
    if (validity != Validity::transition) {
        pressureSince_.reset();
    }
    if (step.awaiting) {
        if (appliedAt_ && step.now - *appliedAt_ >= confirmationSeconds) {
            nextDeadline_.reset();
            return decide(step, "effective-format-constrained");
        }
        return decide(step, "awaiting-effective-format");
    }
    if (validity == Validity::transition || !step.postApply) {
        run_.recoveryAllowed = false;
        nextDeadline_.reset();
        return decide(step, "encoder-transition");
    }
    if (validity == Validity::stale || validity == Validity::unavailable) {
        run_.recoveryAllowed = false;
        nextDeadline_.reset();
        return decide(step, "evidence-" + std::string(rawValue(validity)));
    }
    if (step.underfunded) {
        return decide(step, "retaining-detail-at-lower-allocation");
    }

    switch (step.condition) {
        case Condition::improving:
            run_.recoveryAllowed = true;
            run_.idlePromotionAvailable = true;
            return recover(step);
        case Condition::idle:
            if (run_.idlePromotionAvailable) {
                run_.recoveryAllowed = true;
                return recover(step);
            }
            break;
        case Condition::neutral:
            // Neutral time does not count as healthy: the run is shifted past it.
            if (run_.lastHealthyAt && run_.healthySince) {
                *run_.healthySince += std::max(0.0, step.now - *run_.lastHealthyAt);
            }
            run_.lastHealthyAt = step.now;
            run_.recoveryAllowed = false;
            nextDeadline_.reset();
            starting_ = false;
            return decide(step, "recovery-neutral");
        case Condition::pressured:
        case Condition::insufficient:
            break;
    }
    run_.recoveryAllowed = false;
    nextDeadline_.reset();
    return decide(step, step.condition == Condition::idle ? "idle-awaiting-motion"
                                                          : "insufficient-quality-evidence");
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::recover(const Step& step) {
    if (!higherFundedCandidate()) {
        run_.clearHealth();
        nextDeadline_.reset();
        return decide(step, "no-funded-improvement");
    }
    if (!run_.healthySince) {
        run_.healthySince = step.now;
    }
    run_.lastHealthyAt = step.now;
    nextDeadline_ = recoveryDeadline();
    if (!nextDeadline_ || step.now < *nextDeadline_) {
        return decide(step, "qualifying-recovery");
    }
    return promoteAndRecord(step);
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::deadlineReached(double now) {
    nextDeadline_.reset();
    if (suspended_ || !run_.latest) {
        return std::nullopt;
    }
    const StudioAdaptationObservation observation = *run_.latest;
    const Step step{.observation = observation, .previous = target_, .now = now};
    if (!confirmed_) {
        return decide(step, "effective-format-constrained");
    }
    if (!run_.recoveryAllowed || !run_.healthySince || !run_.lastHealthyAt ||
        now - *run_.lastHealthyAt > healthGapSeconds ||
        now - funding_.allocationAt() > allocationGapSeconds) {
        return decide(step, "recovery-evidence-expired");
    }
    if (now < *run_.healthySince + recoverySeconds || now < lastChange_ + recoveryStepSeconds) {
        const std::optional<double> deadline = recoveryDeadline();
        if (deadline && now < *deadline) {
            nextDeadline_ = deadline;
        }
        return decide(step, "qualifying-recovery");
    }
    return promoteAndRecord(step);
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::promoteAndRecord(const Step& step) {
    // The reason is taken before promoting, which ends the startup climb.
    const std::string_view reason = starting_ ? "startup-selection" : "funded-recovery";
    return decide(step, reason, promote(step.now));
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::decide(
    const Step& step, std::string_view reason, std::optional<StudioOperatingPoint> result) {
    record(step.observation, step.previous, reason, step.now);
    if (result) {
        log_.targetChanged(reason);
    }
    return result;
}

std::optional<std::size_t> StudioOperatingPointPolicy::higherFundedCandidate() const {
    const std::optional<std::size_t> t = funding_.indexOf(target_);
    if (!t) {
        return std::nullopt;
    }
    return funding_.highestFundedAbove(*t);
}

std::optional<double> StudioOperatingPointPolicy::recoveryDeadline() const {
    const std::optional<std::size_t> t = funding_.indexOf(target_);
    if (!run_.recoveryAllowed || !run_.healthySince || !t) {
        return std::nullopt;
    }
    const double base =
        std::max(lastChange_ + recoveryStepSeconds, *run_.healthySince + recoverySeconds);
    if (starting_) {
        return higherFundedCandidate() ? std::optional(base) : std::nullopt;
    }
    const std::optional<double> earliest = funding_.earliestFundedAbove(*t);
    if (!earliest) {
        return std::nullopt;
    }
    return std::max(base, *earliest + StudioFundingHistory::historySeconds);
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::promote(double now) {
    const std::optional<std::size_t> t = funding_.indexOf(target_);
    if (!t) {
        return std::nullopt;
    }
    const std::vector<StudioOperatingPoint>& candidates = funding_.candidates();
    for (std::size_t k = candidates.size(); k-- > *t + 1;) {
        if (funding_.funded(candidates[k]) && (starting_ || funding_.fundedLongEnough(k, now))) {
            starting_ = false;
            run_.idlePromotionAvailable = false;
            return applyTarget(candidates[k], true, now);
        }
    }
    nextDeadline_ = recoveryDeadline();
    return std::nullopt;
}

void StudioOperatingPointPolicy::record(const StudioAdaptationObservation& observation,
                                        const StudioOperatingPoint& previous,
                                        std::string_view reason, double now) {
    const StudioEncoderFeedback& f = observation.encoder();
    const std::optional<StudioMediaInterval>& interval = observation.interval();
    StudioAdaptationAssessment a;
    a.targetFPS = target_.framesPerSecond;
    a.observedFPS = f.framesPerSecond;
    a.evidenceValidity = std::string(rawValue(observation.validity()));
    a.filteredQP = run_.evidence.meanQP();
    a.recoveryCondition = std::string(rawValue(run_.evidence.condition()));
    a.reason = std::string(reason);
    if (reason != "funded-recovery" && reason != "startup-selection") {
        a.recoveryBlockers.push_back(a.reason);
    }
    a.previousWidth = previous.size.width;
    a.previousHeight = previous.size.height;
    a.targetWidth = target_.size.width;
    a.targetHeight = target_.size.height;
    a.requestWidth = target_.size.requestWidth;
    a.requestHeight = target_.size.requestHeight;
    a.observedWidth = f.width;
    a.observedHeight = f.height;
    a.allocatedBitrateBps = funding_.bitrate();
    a.retentionBitrateBps = retentionBitrate(previous);
    if (const std::optional<std::size_t> next = higherFundedCandidate()) {
        a.nextLevelBitrateBps = fundingBitrate(funding_.candidates()[*next]);
    }
    if (interval) {
        a.intervalSeconds = interval->seconds;
        a.intervalFrames = interval->frames;
        if (observation.validity() == Validity::measured) {
            a.meanQP = interval->meanQP;
        }
        a.packetQueueMS = interval->queueMS;
        a.retransmissionFraction = interval->retransmissionFraction;
    }
    a.submittedFrames = f.submitted;
    a.droppedFrames = f.dropped;
    a.outputFrames = f.output;
    a.consecutiveKeyframeDrops = f.consecutiveKeyframeDrops;
    a.successfulOutputAtTarget = confirmed_;
    a.healthySeconds = run_.healthySince ? std::max(0.0, now - *run_.healthySince) : 0.0;
    log_.add(std::move(a));
}

}  // namespace quillory
