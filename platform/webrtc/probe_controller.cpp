#include "platform/webrtc/probe_controller.h"

#include <algorithm>
#include <utility>

namespace quillory {

ProbeController::ProbeController(const ProbingConfiguration& configuration, double maximumBps)
    : configuration_(configuration), maximum_(maximumBps) {}

void ProbeController::setMaximum(double bitsPerSecond) {
    maximum_ = bitsPerSecond;
}

std::optional<ProbeCluster> ProbeController::make(double targetBps, double estimateBps,
                                                  double now) {
    const double target = std::min(targetBps, maximum_);
    if (target < estimateBps * minimumGainShare) {
        return std::nullopt;
    }
    lastProbeAt_ = now;
    furtherAim_ = target;
    furtherUntil_ = now + resultWaitSeconds;
    return ProbeCluster{.id = nextId_++, .targetBps = target};
}

std::vector<ProbeCluster> ProbeController::start(double estimateBps, double now) {
    if (std::exchange(started_, true)) {
        return {};
    }
    std::vector<ProbeCluster> probes;
    for (const double scale : {configuration_.firstScale, configuration_.secondScale}) {
        if (auto probe = make(estimateBps * scale, estimateBps, now)) {
            firstIds_[probes.size()] = probe->id;
            probes.push_back(*probe);
        }
    }
    return probes;
}

void ProbeController::cutShort(const ProbeCluster& probe) {
    if (!firstMeasured_ && (probe.id == firstIds_[0] || probe.id == firstIds_[1])) {
        started_ = false;
    }
}

std::vector<ProbeCluster> ProbeController::resultArrived(const ProbeCluster& probe,
                                                         ProbeReading reading, double measuredBps,
                                                         double estimateBps, double now) {
    const bool highest = furtherAim_ && probe.targetBps >= *furtherAim_;
    switch (reading) {
        case ProbeReading::misread:
            return {};
        case ProbeReading::sentShort:
            if (!highest || retries_ >= retriesInARow) {
                return {};
            }
            retries_ += 1;
            if (auto again = make(probe.targetBps, estimateBps, now)) {
                return {*again};
            }
            return {};
        case ProbeReading::limitReading:
        case ProbeReading::gotThrough:
            break;
    }
    firstMeasured_ = firstMeasured_ || probe.id == firstIds_[0] || probe.id == firstIds_[1];
    retries_ = 0;
    // Only the highest probe in flight leads further; the results of lower ones say less.
    if (reading != ProbeReading::gotThrough || !highest || now > furtherUntil_) {
        return {};
    }
    furtherAim_.reset();
    const double step = std::min(measuredBps * configuration_.stepScale,
                                 estimateBps * configuration_.currentEstimateLimit);
    if (auto next = make(step, estimateBps, now)) {
        return {*next};
    }
    return {};
}

std::vector<ProbeCluster> ProbeController::process(double estimateBps,
                                                   std::optional<double> limitedSince, double now) {
    if (!started_ || !limitedSince) {
        return {};
    }
    const double since = std::max(*limitedSince, lastProbeAt_.value_or(*limitedSince));
    if (now - since < applicationLimitedIntervalSeconds) {
        return {};
    }
    const double target = estimateBps * std::min(configuration_.applicationLimitedScale,
                                                 configuration_.currentEstimateLimit);
    if (auto probe = make(target, estimateBps, now)) {
        return {*probe};
    }
    // At the maximum already: look again a whole interval later.
    lastProbeAt_ = now;
    return {};
}

}  // namespace quillory
