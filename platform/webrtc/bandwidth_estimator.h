#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

#include "platform/webrtc/delay_trend_detector.h"
#include "platform/webrtc/peer_transport.h"
#include "platform/webrtc/probe_results.h"

namespace quillory {

// What one transport-wide feedback window reported. Absent, NaN, infinite or negative figures
// carry no information and are ignored.
struct BandwidthFeedbackWindow {
    double atSeconds = 0;  // monotonic end of the window
    std::optional<double> sentBps;
    std::optional<double> receivedBps;
    std::optional<double> lossPercent;
    // What the delays of the packets the window's feedback covers say of the path's queue.
    std::optional<DelayTrend> delayTrend;
    std::optional<double> roundTripSeconds;
};

// A loss- and delay-based sending-rate estimate. It starts at the initial rate, ramps by 1.5 ×
// and then 2 × one second apart while the path stays clean, then grows slowly, by steps once a
// cut lies a while back; a queue that grows over consecutive windows or heavy loss cuts it towards
// the received rate. Not thread-safe: the transport calls it from its own queue.
class BandwidthEstimator {
  public:
    // Without a floor a blackout would sink the estimate to nothing and recovery would take long.
    static constexpr std::int64_t floorBps = 300'000;
    static constexpr double heavyLossPercent = 10.0;
    static constexpr double lightLossPercent = 2.0;
    static constexpr int risingDelayWindows = 2;
    // Less received than sent by this share is a queue building up.
    static constexpr double queueGrowthShare = 0.05;
    static constexpr double rampStepSeconds = 1.0;
    static constexpr double firstRampFactor = 1.5;
    static constexpr double secondRampFactor = 2.0;
    // Growth after the ramp and near a cut. Once the path has stayed clean for a while after a
    // cut (a cap that was lifted), the estimate steps up as a successful probe would raise it,
    // by the probing step once a second while each step is carried.
    static constexpr double growthPerSecond = 0.08;
    static constexpr double probeStepFactor = 1.5;
    static constexpr double probeAfterSeconds = 5.0;
    static constexpr double decreaseFactor = 0.85;
    // Below this share of the estimate the encoder is not using what it has (a still screen).
    static constexpr double underuseShare = 0.5;
    static constexpr double minimumDecreaseSpacingSeconds = 0.2;
    // A cut aims below the received rate averaged over this long: one 100 ms window around a
    // burst can show little received.
    static constexpr double receivedAverageSeconds = 0.5;
    // For this long what a probe or the first cut of a congestion event found says what the path
    // carries, and later cuts aim below that rather than below what the encoder happened to send
    // (a 100 ms window shows a queue by chance, and a cut takes a second to follow): a path that
    // narrowed by more than a cut loses heavily, which ends it sooner. As long as a periodic
    // probe's interval.
    static constexpr double evidenceSeconds = 5.0;
    // Past the limit that two probes or a cut of a full path found, the estimate grows only by
    // this share of it a second: the encoder sends somewhat under its rate, so growing on at the
    // usual pace would only lift the estimate above the path before the queue shows.
    static constexpr double pastLimitGrowthPerSecond = 0.01;
    // A cut answers a queue as it forms, when a window has carried only part of the path's rate;
    // for this long after it, the queue drains at that rate, and the windows that show it measure
    // the path: one that got more through than the cut assumed raises the estimate to below it.
    // A sender's catch-up after a stall makes such a queue on a path it otherwise fits.
    static constexpr double drainSeconds = 1.0;
    // Two probes' readings of the path's limit agree when the lower is at least this share of the
    // higher.
    static constexpr double limitReadingsAlike = 0.8;

    BandwidthEstimator(std::int64_t initialBps, std::int64_t maximumBps);

    // Present values replace the bounds; a minimum below the floor keeps the floor, and a current
    // value restarts the estimate there.
    void setBounds(const BitrateBounds& bounds);
    // Takes one window and returns the estimate after it.
    std::int64_t update(const BandwidthFeedbackWindow& window);
    // A probe aimed at `targetBps` gave `result` by `atSeconds` on the windows' clock: the path
    // takes at least the lower, so the estimate rises to it, and a cut soon after aims below that
    // rather than below what the encoder happened to send. A probe that measured the path
    // (measuredPath) ends the steps after a cut, which only stand in for probes; the path's limit
    // counts, lifts the estimate and ends the start-up ramp only once two probes read it alike.
    std::int64_t probed(const ProbeResult& result, double targetBps, double atSeconds);
    std::int64_t estimateBps() const { return static_cast<std::int64_t>(estimate_); }
    bool ramping() const { return rampSteps_ < 2 && !rampEnded_; }
    // Since when the windows have shown neither a queue nor loss, on their clock: room to probe
    // into once it has lasted.
    std::optional<double> cleanSince() const { return cleanSince_; }
    // Whether probes measure the path and the estimate has reached the limit they or the last cut
    // found: only a probe finds out whether the path has since widened.
    bool atLimit() const { return probed_ && limit_ && estimate_ >= *limit_; }
    // When the estimate was last cut, on the windows' clock; none before the first cut.
    std::optional<double> lastDecreaseAt() const { return lastDecreaseAt_; }

  private:
    enum class Signal { overuse, hold, clean };
    Signal classify(const BandwidthFeedbackWindow& window);
    void decrease(const BandwidthFeedbackWindow& window);
    void increase(const BandwidthFeedbackWindow& window);
    void drain(const BandwidthFeedbackWindow& window);
    // The path carried this much: the highest such rate stands as evidence for a while.
    void noteCarried(double atSeconds, double bitsPerSecond);
    double clamp(double value) const;

    double estimate_;
    double minimum_ = static_cast<double>(floorBps);
    double maximum_;
    std::optional<double> rampStart_;
    double rampBase_ = 0;
    int rampSteps_ = 0;
    bool rampEnded_ = false;
    bool probed_ = false;
    std::optional<double> lastAt_;
    std::optional<double> lastDecreaseAt_;
    double cutFrom_ = 0;  // the estimate the last cut lowered
    std::optional<double> lastProbeStepAt_;
    int risingWindows_ = 0;
    std::optional<double> cleanSince_;
    // (when, rate) the path was last seen to carry, by probes or a cut
    std::optional<std::pair<double, double>> carried_;
    std::optional<double> limit_;  // what the path carried when it was last full
    // (when, rate) of a probe that found a limit no second one has confirmed yet
    std::optional<std::pair<double, double>> unconfirmedLimit_;
    std::deque<std::pair<double, double>> received_;  // (end of window, received rate)
};

}  // namespace quillory
