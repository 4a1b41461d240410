#include "media/studio_recovery_evidence.h"

#include <algorithm>

namespace quillory {

namespace {

using Condition = StudioRecoveryEvidence::Condition;

constexpr double windowSeconds = 3.0;
constexpr std::size_t windowSize = 8;
constexpr double pressureQueueMS = 100.0;
constexpr double pressureDropShare = 0.2;
constexpr int minimumSubmitted = 10;
constexpr int minimumFrames = 10;
constexpr double pressureQP = 39.0;
constexpr double pressureMeanQueueMS = 50.0;
constexpr double pressureRetransmission = 0.05;
constexpr double improvingQP = 28.0;
constexpr double improvingQueueMS = 20.0;
constexpr double improvingRetransmission = 0.02;

// Weighted mean of a statistic, 0 when nothing carries weight.
class WeightedMean {
  public:
    void add(const std::optional<double>& value, double weight) {
        sum_ += value.value_or(0.0) * weight;
        weights_ += weight;
    }
    double value() const { return weights_ > 0.0 ? sum_ / weights_ : 0.0; }

  private:
    double sum_ = 0.0;
    double weights_ = 0.0;
};

}  // namespace

Condition StudioRecoveryEvidence::add(const StudioAdaptationObservation& observation) {
    const std::optional<StudioMediaInterval>& interval = observation.interval();
    if (!interval || !interval->windowEnd) {
        return Condition::insufficient;
    }
    const StudioEncoderFeedback& feedback = observation.encoder();
    if (epoch_ != feedback.epoch) {
        samples_.clear();
        epoch_ = feedback.epoch;
    }
    const double end = *interval->windowEnd;
    std::erase_if(samples_, [end](const Sample& s) { return end - s.end >= windowSeconds; });

    switch (observation.validity()) {
        case StudioAdaptationObservation::Validity::measured:
            break;
        case StudioAdaptationObservation::Validity::idle:
            condition_ = Condition::idle;
            return condition_;
        default:
            condition_ = Condition::insufficient;
            return condition_;
    }

    samples_.push_back(Sample{end, *interval, feedback.submitted, feedback.dropped});
    if (samples_.size() > windowSize) {
        samples_.erase(samples_.begin(), samples_.end() - windowSize);
    }
    condition_ = grade(*interval);
    return condition_;
}

Condition StudioRecoveryEvidence::grade(const StudioMediaInterval& newest) {
    long long frames = 0;
    double qpSum = 0.0;
    WeightedMean queue;
    WeightedMean retransmission;
    long long submitted = 0;
    long long dropped = 0;
    for (const Sample& s : samples_) {
        const StudioMediaInterval& i = s.interval;
        frames += i.frames;
        qpSum += i.meanQP.value_or(0.0) * static_cast<double>(i.frames);
        queue.add(i.queueMS, i.sentPackets ? static_cast<double>(*i.sentPackets) : i.seconds);
        retransmission.add(i.retransmissionFraction, i.sentBytes.value_or(i.seconds));
        submitted += s.submitted;
        dropped += s.dropped;
    }
    meanQP_ = frames >= 1 ? std::optional(qpSum / static_cast<double>(frames)) : std::nullopt;

    const bool dropping =
        submitted >= minimumSubmitted &&
        static_cast<double>(dropped) / static_cast<double>(submitted) >= pressureDropShare;
    if ((newest.queueMS && *newest.queueMS >= pressureQueueMS) || dropping) {
        return Condition::pressured;
    }
    if (frames < minimumFrames) {
        return Condition::insufficient;
    }
    const double qp = *meanQP_;
    if (qp > pressureQP || queue.value() >= pressureMeanQueueMS ||
        retransmission.value() >= pressureRetransmission) {
        return Condition::pressured;
    }
    if (qp <= improvingQP && queue.value() <= improvingQueueMS &&
        retransmission.value() <= improvingRetransmission && dropped == 0) {
        return Condition::improving;
    }
    return Condition::neutral;
}

}  // namespace quillory
