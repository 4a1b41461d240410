#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/webrtc/probing_configuration.h"

namespace quillory {

// A short burst sent at a rate above the estimate to find out whether the path carries it.
struct ProbeCluster {
    int id = 0;
    double targetBps = 0;
};

// Decides when the sender probes and at what rate: twice at the start, from the initial estimate;
// again by the step from a result that reached most of its aim, while that lies above the
// estimate; and every few seconds while the sender is application-limited, from the estimate.
// No probe aims over the maximum or, after the start, over the current estimate's limit. Times
// in seconds of a monotonic clock; not thread-safe.
class ProbeController {
  public:
    // A result under this share of its aim says the path carries no more.
    static constexpr double furtherShare = 0.7;
    // A result arriving later than this no longer leads to a further probe.
    static constexpr double resultWaitSeconds = 1.0;
    static constexpr double applicationLimitedIntervalSeconds = 5.0;
    // Probing a rate the estimate nearly has already proves little.
    static constexpr double minimumGainShare = 1.1;
    static constexpr int retriesInARow = 2;

    ProbeController(const ProbingConfiguration& configuration, double maximumBps);

    void setMaximum(double bitsPerSecond);
    // The stream's first probes, once unless they are cut short.
    std::vector<ProbeCluster> start(double estimateBps, double now);
    // A probe that could not leave whole: a first one is tried again by the next start().
    void cutShort(const ProbeCluster& probe);
    // A probe's measured rate, with the estimate it has led to; a further probe when due.
    std::vector<ProbeCluster> resultArrived(const ProbeCluster& probe, double measuredBps,
                                            double estimateBps, double now);
    // A probe that measured nothing of the path (measuredPath): the highest in flight goes
    // again, a few times in a row at most.
    std::vector<ProbeCluster> measuredNothing(const ProbeCluster& probe, double estimateBps,
                                              double now);
    // A probe while the sender has been application-limited since `limitedSince`, when due.
    std::vector<ProbeCluster> process(double estimateBps, std::optional<double> limitedSince,
                                      double now);

  private:
    std::optional<ProbeCluster> make(double targetBps, double estimateBps, double now);

    const ProbingConfiguration configuration_;
    double maximum_;
    bool started_ = false;
    int firstIds_[2] = {0, 0};
    bool firstMeasured_ = false;
    int nextId_ = 1;
    // The aim a result must reach most of to probe further, until when it may arrive.
    std::optional<double> furtherAim_;
    double furtherUntil_ = 0;
    std::optional<double> lastProbeAt_;
    int retries_ = 0;  // since the last measured result
};

}  // namespace quillory
