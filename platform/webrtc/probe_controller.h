#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/webrtc/probe_results.h"
#include "platform/webrtc/probing_configuration.h"

namespace quillory {

// A short burst sent at a rate above the estimate to find out whether the path carries it.
struct ProbeCluster {
    int id = 0;
    double targetBps = 0;
};

// Decides when the sender probes and at what rate: twice at the start, from the initial estimate;
// again by the step from a result that got through, while that lies above the estimate; and
// every few seconds while the sender is application-limited, from the estimate. No probe aims
// over the maximum or, after the start, over the current estimate's limit. Times in seconds of a
// monotonic clock; not thread-safe.
class ProbeController {
  public:
    // A result arriving later than this no longer leads to a further probe.
    static constexpr double resultWaitSeconds = 1.0;
    static constexpr double applicationLimitedIntervalSeconds = 5.0;
    // Probing a rate the estimate nearly has already proves little.
    static constexpr double minimumGainShare = 1.1;
    // A busy sender may send a probe short of its aim again and again: so many in a row, then
    // the next periodic probe.
    static constexpr int retriesInARow = 2;

    ProbeController(const ProbingConfiguration& configuration, double maximumBps);

    void setMaximum(double bitsPerSecond);
    // The stream's first probes, once unless they are cut short.
    std::vector<ProbeCluster> start(double estimateBps, double now);
    // A probe that could not leave whole: a first one is tried again by the next start().
    void cutShort(const ProbeCluster& probe);
    // A probe's result as readProbe() read it, with the estimate it has led to: the highest probe
    // in flight that got through leads a step further, and one sent short goes again; a reading
    // of the path's limit, or a misread one, leads nowhere.
    std::vector<ProbeCluster> resultArrived(const ProbeCluster& probe, ProbeReading reading,
                                            double measuredBps, double estimateBps, double now);
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
    // The highest aim in flight, which alone leads further, and until when its result may arrive.
    std::optional<double> furtherAim_;
    double furtherUntil_ = 0;
    std::optional<double> lastProbeAt_;
    int retries_ = 0;  // since the last result that measured the path
};

}  // namespace quillory
