#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

#include "platform/webrtc/delay_trend_detector.h"
#include "platform/webrtc/path_limit.h"
#include "platform/webrtc/peer_transport.h"
#include "platform/webrtc/probe_results.h"
#include "platform/webrtc/startup_ramp.h"

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

// A loss- and delay-based sending-rate estimate. Each feedback window is read as overuse (a queue
// that grows over consecutive windows, or heavy loss), doubtful, or clean. Overuse cuts the
// estimate below what the path carries; for a second after a cut, the windows that show its queue
// draining measure the path. A clean window grows the estimate, in one of four ways (Growth).
// Probes lift it to what they carried and find the path's limit. Not thread-safe: the transport
// calls it from its own queue.
class BandwidthEstimator {
  public:
    // Without a floor a blackout would sink the estimate to nothing and recovery would take long.
    static constexpr std::int64_t floorBps = 300'000;
    // Loss over this is congestion; from the light share up to it, the path is doubtful, and
    // from the light share on, the path was full.
    static constexpr double heavyLossPercent = 10.0;
    static constexpr double lightLossPercent = 2.0;
    // One window of rising delay can be a burst's queue; this many in a row are the path's.
    static constexpr int risingDelayWindows = 2;
    // Less received than sent by this share is a queue building up: the path was full.
    static constexpr double queueGrowthShare = 0.05;
    // Steady growth: a few percent a second, slow enough that the delay trend sees a queue
    // before the estimate passes the path by much.
    static constexpr double growthPerSecond = 0.08;
    // Without probes, once the path has stayed clean this long after a cut (a cap that was
    // lifted), the estimate steps up as a probe that got through would, once a step a second:
    // growing by a few percent a second would take half a minute back to a fast link.
    static constexpr double stepUpAfterSeconds = 5.0;
    static constexpr double stepUpSeconds = 1.0;
    static constexpr double stepUpFactor = 1.5;
    // A cut aims this far below what the path carries, so that its queue drains.
    static constexpr double decreaseFactor = 0.85;
    // Below this share of the estimate the encoder is not using what it has (a still screen),
    // and its windows show nothing of the room above.
    static constexpr double underuseShare = 0.5;
    // One congestion event shows in several windows: one cut a round trip, and no closer.
    static constexpr double minimumDecreaseSpacingSeconds = 0.2;
    // A cut aims below the received rate averaged over this long: one 100 ms window around a
    // burst can show little received.
    static constexpr double receivedAverageSeconds = 0.5;
    // For this long, what a probe or a cut found the path to carry bounds later cuts: the
    // encoder follows a raised estimate, and a cut, only over a second or so, and meanwhile what
    // it sends says nothing of the path; nor does one window's count of a few packets. As long
    // as a periodic probe's interval.
    static constexpr double evidenceSeconds = 5.0;
    // Past the path's limit the estimate grows only by this share of it a second: the encoder
    // sends somewhat under its rate, so growing on at the steady pace would only lift the
    // estimate above the path before the queue shows. Probes find out whether it widened.
    static constexpr double pastLimitGrowthPerSecond = 0.01;
    // For this long after a cut its queue drains at the path's rate, and the windows that show
    // the queue measure the path: one that got more through than the cut assumed (a sender
    // catching up after a stall makes such a queue on a path it otherwise fits) raises the
    // estimate to below it. Later, a queue is another event's.
    static constexpr double drainSeconds = 1.0;

    BandwidthEstimator(std::int64_t initialBps, std::int64_t maximumBps);

    // Present values replace the bounds; a minimum below the floor keeps the floor, and a current
    // value restarts the estimate there.
    void setBounds(const BitrateBounds& bounds);
    // Takes one window and returns the estimate after it.
    std::int64_t update(const BandwidthFeedbackWindow& window);
    // A probe aimed at `targetBps` gave `result` by `atSeconds` on the windows' clock, read as
    // readProbe() reads it: the path takes at least what it carried, up to its aim, so the
    // estimate rises to that; a reading of the path's limit counts once a second one confirms it.
    std::int64_t probed(const ProbeResult& result, double targetBps, double atSeconds);
    std::int64_t estimateBps() const { return static_cast<std::int64_t>(estimate_); }
    bool ramping() const { return ramp_.running(); }
    // Since when the windows have shown neither a queue nor loss, on their clock: room to probe
    // into once it has lasted.
    std::optional<double> cleanSince() const { return cleanSince_; }
    // Whether probes measure the path and the estimate has reached the limit they or the last
    // full window found: only a probe finds out whether the path has since widened.
    bool atLimit() const;
    // When the estimate was last cut, on the windows' clock; none before the first cut.
    std::optional<double> lastDecreaseAt() const { return lastDecreaseAt_; }

  private:
    enum class Signal { overuse, hold, clean };
    // How a clean window grows the estimate.
    enum class Growth {
        ramp,       // the start-up ramp's steps
        stepUp,     // no probes, and a cut lies a while back
        pastLimit,  // probes measure the path, and the estimate has reached its limit
        steady,     // by a few percent a second, up to the limit where probes measure the path
    };
    struct Received {
        double atSeconds = 0;
        double bitsPerSecond = 0;
        bool full = false;  // the window showed the path full
    };

    Signal classify(const BandwidthFeedbackWindow& window);
    Growth growth(double atSeconds) const;
    void decrease(const BandwidthFeedbackWindow& window, bool full);
    void increase(const BandwidthFeedbackWindow& window);
    void drain(const BandwidthFeedbackWindow& window, bool full);
    // The mean received rate of the last half second's windows; when `full`, of those since the
    // last cut that showed the path full.
    double meanReceived(bool full) const;
    // What is known of the path, in one place: it carried `bitsPerSecond` at `atSeconds`; when
    // `full`, that is all it carries now, replacing what earlier evidence said.
    void noteCarried(double atSeconds, double bitsPerSecond, bool full);
    double clamp(double value) const;

    double estimate_;
    double minimum_ = static_cast<double>(floorBps);
    double maximum_;
    StartupRamp ramp_;
    PathLimit limit_;
    bool probed_ = false;  // a probe has measured the path
    std::optional<double> lastAt_;
    std::optional<double> lastDecreaseAt_;
    double cutFrom_ = 0;  // the estimate the last cut lowered
    std::optional<double> lastStepUpAt_;
    int risingWindows_ = 0;
    std::optional<double> cleanSince_;
    // (when, rate) the path was last seen to carry
    std::optional<std::pair<double, double>> carried_;
    std::deque<Received> received_;
};

}  // namespace quillory
