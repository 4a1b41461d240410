#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

#include "platform/webrtc/delay_trend_detector.h"
#include "platform/webrtc/peer_transport.h"

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

    BandwidthEstimator(std::int64_t initialBps, std::int64_t maximumBps);

    // Present values replace the bounds; a minimum below the floor keeps the floor, and a current
    // value restarts the estimate there.
    void setBounds(const BitrateBounds& bounds);
    // Takes one window and returns the estimate after it.
    std::int64_t update(const BandwidthFeedbackWindow& window);
    std::int64_t estimateBps() const { return static_cast<std::int64_t>(estimate_); }
    bool ramping() const { return rampSteps_ < 2 && !rampEnded_; }

  private:
    enum class Signal { overuse, hold, clean };
    Signal classify(const BandwidthFeedbackWindow& window);
    void decrease(const BandwidthFeedbackWindow& window);
    void increase(const BandwidthFeedbackWindow& window);
    double clamp(double value) const;

    double estimate_;
    double minimum_ = static_cast<double>(floorBps);
    double maximum_;
    std::optional<double> rampStart_;
    int rampSteps_ = 0;
    bool rampEnded_ = false;
    std::optional<double> lastAt_;
    std::optional<double> lastDecreaseAt_;
    std::optional<double> lastProbeStepAt_;
    int risingWindows_ = 0;
    std::deque<std::pair<double, double>> received_;  // (end of window, received rate)
};

}  // namespace quillory
