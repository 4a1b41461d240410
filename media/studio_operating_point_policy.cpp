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
constexpr double fundingHistorySeconds = 3.0;
constexpr double confirmationSeconds = 5.0;
constexpr double feedbackAgeSeconds = 2.0;
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
      candidates_(makeCandidates(width, height, preset)),
      bitrate_(StudioPlaybackPolicy::initialBitrateBps),
      allocationAt_(now),
      lastChange_(now),
      fundedSince_(candidates_.size()) {
    target_ = selectInitial(candidates_, StudioPlaybackPolicy::initialBitrateBps);
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::reconfigure(
    const StudioStreamConfiguration& configuration, double now) {
    if (configuration == configuration_) {
        return std::nullopt;
    }
    configuration_ = configuration;
    candidates_ = makeCandidates(configuration.width, configuration.height, configuration.preset);
    fundedSince_.assign(candidates_.size(), std::nullopt);
    starting_ = false;
    forgetEvidence();
    idlePromotionAvailable_ = true;
    const StudioOperatingPoint point = selectInitial(candidates_, bitrate_);
    clearHealth();
    transitionCredit_ = 0.0;
    nextDeadline_.reset();
    return applyTarget(point, false, now);
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::applyTarget(
    const StudioOperatingPoint& point, bool preserveCredit, double now) {
    if (point == target_) {
        return std::nullopt;
    }
    transitionCredit_ = 0.0;
    if (preserveCredit && healthySince_) {
        transitionCredit_ = std::min(maximumCreditSeconds, std::max(0.0, now - *healthySince_));
    }
    forgetEvidence();
    target_ = point;
    lastChange_ = now;
    appliedAt_.reset();
    confirmed_ = false;
    nextDeadline_.reset();
    pressureSince_.reset();
    clearHealth();
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
    fundedSince_.assign(candidates_.size(), std::nullopt);
    forgetEvidence();
    idlePromotionAvailable_ = true;
    appliedAt_.reset();
    confirmed_ = false;
    transitionCredit_ = 0.0;
    clearHealth();
    nextDeadline_.reset();
    pressureSince_.reset();
    latest_.reset();
    lastIntervalEnd_.reset();
}

void StudioOperatingPointPolicy::resume(double now) {
    allocationAt_ = now;
    lastChange_ = now;
    appliedAt_ = now;
    suspended_ = false;
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::observe(
    const StudioAdaptationObservation& observation, double now) {
    const StudioEncoderFeedback& f = observation.encoder();
    if (suspended_ || !std::isfinite(now) || !fund(f, now)) {
        return std::nullopt;
    }
    Step step{.observation = observation, .previous = target_, .now = now};
    if (f.bitrate < 1) {
        clearHealth();
        transitionCredit_ = 0.0;
        nextDeadline_.reset();
        pressureSince_.reset();
        forgetEvidence();
        return decide(step, "native-paused");
    }
    step.awaiting = !confirmFormat(f, now);
    classify(step);
    if (step.underfunded) {
        starting_ = false;
        recoveryAllowed_ = false;
        clearHealth();
        transitionCredit_ = 0.0;
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

bool StudioOperatingPointPolicy::fund(const StudioEncoderFeedback& f, double now) {
    // Late or out-of-order feedback is dropped without a record.
    if (!(f.observedAt <= now && now - f.observedAt <= feedbackAgeSeconds &&
          f.observedAt >= allocationAt_)) {
        return false;
    }
    if (f.observedAt - allocationAt_ > allocationGapSeconds) {
        fundedSince_.assign(candidates_.size(), std::nullopt);
    }
    allocationAt_ = f.observedAt;
    bitrate_ = std::max<std::int64_t>(0, f.bitrate);
    for (std::size_t k = 0; k < candidates_.size(); ++k) {
        if (!funded(candidates_[k])) {
            fundedSince_[k].reset();
        } else if (!fundedSince_[k]) {
            fundedSince_[k] = now;
        }
    }
    return true;
}

bool StudioOperatingPointPolicy::confirmFormat(const StudioEncoderFeedback& f, double now) {
    const bool outputSinceApplied = appliedAt_ && f.observedAt >= *appliedAt_ && f.output >= 1;
    if (confirmed_ && outputSinceApplied && !matchesTarget(f, target_)) {
        confirmed_ = false;
        clearHealth();
        nextDeadline_.reset();
        forgetEvidence();
    }
    if (confirmed_) {
        return true;
    }
    if (!outputSinceApplied || !matchesTarget(f, target_)) {
        return false;
    }
    confirmed_ = true;
    if (transitionCredit_ > 0.0 && now - *appliedAt_ <= confirmationSeconds) {
        healthySince_ = now - transitionCredit_;
    }
    transitionCredit_ = 0.0;
    return true;
}

void StudioOperatingPointPolicy::classify(Step& step) {
    const StudioAdaptationObservation& observation = step.observation;
    const StudioEncoderFeedback& f = observation.encoder();
    const std::optional<StudioMediaInterval>& interval = observation.interval();
    if (interval && interval->windowEnd &&
        *interval->windowEnd > lastIntervalEnd_.value_or(negativeInfinity)) {
        lastIntervalEnd_ = interval->windowEnd;
        latest_ = observation;
        step.fresh = true;
    }
    if (lastHealthyAt_ && step.now - *lastHealthyAt_ > healthGapSeconds) {
        clearHealth();
        forgetEvidence();
    }
    const double intervalStart =
        interval && interval->windowStart ? *interval->windowStart : negativeInfinity;
    step.postApply = appliedAt_ && f.windowStart.value_or(negativeInfinity) >= *appliedAt_ &&
                     intervalStart >= *appliedAt_;
    // Evidence is gathered only from fresh intervals measured wholly at a confirmed target.
    const bool gathering = step.postApply && step.fresh && !step.awaiting;
    step.condition = gathering ? evidence_.add(observation) : evidence_.condition();
    const bool measured =
        step.postApply && step.fresh && observation.validity() == Validity::measured;

    step.underfunded = retentionBitrate(target_) > static_cast<double>(bitrate_);
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
    recoveryAllowed_ = false;
    clearHealth();
    transitionCredit_ = 0.0;
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
                        targetNeed * severityShare > static_cast<double>(bitrate_) ||
                        step.now - *pressureSince_ >= severeAfterSeconds;
    if (!severe) {
        nextDeadline_.reset();
        return decide(step, "pressure-observed");
    }
    // The richest lower point that saves at least a tenth without raising the frame rate.
    const std::size_t end = targetIndex().value_or(candidates_.size());
    std::optional<StudioOperatingPoint> lower;
    for (std::size_t k = end; k-- > 0;) {
        const StudioOperatingPoint& c = candidates_[k];
        if (bitrateNeed(c) < stepDownShare * targetNeed &&
            c.framesPerSecond <= target_.framesPerSecond) {
            lower = c;
            break;
        }
    }
    const std::string_view reason = step.encoderPressure ? "hardware-pressure"
                                    : evidence_.meanQP() && *evidence_.meanQP() > compressionQP
                                        ? "compression-pressure"
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
        recoveryAllowed_ = false;
        nextDeadline_.reset();
        return decide(step, "encoder-transition");
    }
    if (validity == Validity::stale || validity == Validity::unavailable) {
        recoveryAllowed_ = false;
        nextDeadline_.reset();
        return decide(step, "evidence-" + std::string(rawValue(validity)));
    }
    if (step.underfunded) {
        return decide(step, "retaining-detail-at-lower-allocation");
    }

    switch (step.condition) {
        case Condition::improving:
            recoveryAllowed_ = true;
            idlePromotionAvailable_ = true;
            return recover(step);
        case Condition::idle:
            if (idlePromotionAvailable_) {
                recoveryAllowed_ = true;
                return recover(step);
            }
            break;
        case Condition::neutral:
            // Neutral time does not count as healthy: the run is shifted past it.
            if (lastHealthyAt_ && healthySince_) {
                *healthySince_ += std::max(0.0, step.now - *lastHealthyAt_);
            }
            lastHealthyAt_ = step.now;
            recoveryAllowed_ = false;
            nextDeadline_.reset();
            starting_ = false;
            return decide(step, "recovery-neutral");
        case Condition::pressured:
        case Condition::insufficient:
            break;
    }
    recoveryAllowed_ = false;
    nextDeadline_.reset();
    return decide(step, step.condition == Condition::idle ? "idle-awaiting-motion"
                                                          : "insufficient-quality-evidence");
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::recover(const Step& step) {
    if (!higherFundedCandidate()) {
        clearHealth();
        nextDeadline_.reset();
        return decide(step, "no-funded-improvement");
    }
    if (!healthySince_) {
        healthySince_ = step.now;
    }
    lastHealthyAt_ = step.now;
    nextDeadline_ = recoveryDeadline();
    if (!nextDeadline_ || step.now < *nextDeadline_) {
        return decide(step, "qualifying-recovery");
    }
    return promoteAndRecord(step);
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::deadlineReached(double now) {
    nextDeadline_.reset();
    if (suspended_ || !latest_) {
        return std::nullopt;
    }
    const StudioAdaptationObservation observation = *latest_;
    const Step step{.observation = observation, .previous = target_, .now = now};
    if (!confirmed_) {
        return decide(step, "effective-format-constrained");
    }
    if (!recoveryAllowed_ || !healthySince_ || !lastHealthyAt_ ||
        now - *lastHealthyAt_ > healthGapSeconds || now - allocationAt_ > allocationGapSeconds) {
        return decide(step, "recovery-evidence-expired");
    }
    if (now < *healthySince_ + recoverySeconds || now < lastChange_ + recoveryStepSeconds) {
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
        changeReason_ = std::string(reason);
    }
    return result;
}

std::optional<std::size_t> StudioOperatingPointPolicy::targetIndex() const {
    const auto found = std::find(candidates_.begin(), candidates_.end(), target_);
    if (found == candidates_.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - candidates_.begin());
}

bool StudioOperatingPointPolicy::funded(const StudioOperatingPoint& point) const {
    return fundingBitrate(point) <= static_cast<double>(bitrate_);
}

std::optional<std::size_t> StudioOperatingPointPolicy::higherFundedCandidate() const {
    const std::optional<std::size_t> t = targetIndex();
    if (!t) {
        return std::nullopt;
    }
    for (std::size_t k = candidates_.size(); k-- > *t + 1;) {
        if (funded(candidates_[k])) {
            return k;
        }
    }
    return std::nullopt;
}

std::optional<double> StudioOperatingPointPolicy::recoveryDeadline() const {
    const std::optional<std::size_t> t = targetIndex();
    if (!recoveryAllowed_ || !healthySince_ || !t) {
        return std::nullopt;
    }
    const double base =
        std::max(lastChange_ + recoveryStepSeconds, *healthySince_ + recoverySeconds);
    if (starting_) {
        return higherFundedCandidate() ? std::optional(base) : std::nullopt;
    }
    std::optional<double> earliest;
    for (std::size_t k = *t + 1; k < fundedSince_.size(); ++k) {
        if (fundedSince_[k] && (!earliest || *fundedSince_[k] < *earliest)) {
            earliest = fundedSince_[k];
        }
    }
    if (!earliest) {
        return std::nullopt;
    }
    return std::max(base, *earliest + fundingHistorySeconds);
}

std::optional<StudioOperatingPoint> StudioOperatingPointPolicy::promote(double now) {
    const std::optional<std::size_t> t = targetIndex();
    if (!t) {
        return std::nullopt;
    }
    for (std::size_t k = candidates_.size(); k-- > *t + 1;) {
        const bool lastingFunding =
            fundedSince_[k] && *fundedSince_[k] + fundingHistorySeconds <= now;
        if (funded(candidates_[k]) && (starting_ || lastingFunding)) {
            starting_ = false;
            idlePromotionAvailable_ = false;
            return applyTarget(candidates_[k], true, now);
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
    a.filteredQP = evidence_.meanQP();
    a.recoveryCondition = std::string(rawValue(evidence_.condition()));
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
    a.allocatedBitrateBps = bitrate_;
    a.retentionBitrateBps = retentionBitrate(previous);
    if (const std::optional<std::size_t> next = higherFundedCandidate()) {
        a.nextLevelBitrateBps = fundingBitrate(candidates_[*next]);
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
    a.healthySeconds = healthySince_ ? std::max(0.0, now - *healthySince_) : 0.0;
    assessment_ = std::move(a);
    ++assessmentCount_;
}

void StudioOperatingPointPolicy::clearHealth() {
    healthySince_.reset();
    lastHealthyAt_.reset();
}

void StudioOperatingPointPolicy::forgetEvidence() {
    evidence_ = StudioRecoveryEvidence();
    recoveryAllowed_ = false;
}

}  // namespace quillory
