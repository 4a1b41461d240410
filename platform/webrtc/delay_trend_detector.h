#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "platform/webrtc/transport_feedback.h"

namespace quillory {

// Whether the queue on the path grows, drains or neither.
enum class DelayTrend { normal, overusing, underusing };

// Reads the queue on the path from when packets left and when the receiver's transport-wide
// feedback says they arrived. Packets that left within a few milliseconds of each other form one
// group: a frame sent in one burst arrives spread out at the path's rate, which is no queue
// building. Between consecutive groups, the arrival spacing less the sending spacing is the
// change of the queue; its smoothed sum, fitted over the last groups, gives the trend, and a
// trend above a threshold that adapts to the path's noise, for long enough, is overuse. Not
// thread-safe.
class DelayTrendDetector {
  public:
    static constexpr std::int64_t groupNanoseconds = 5'000'000;
    static constexpr std::size_t windowGroups = 20;
    static constexpr double smoothing = 0.9;
    // The fitted slope is scaled by the number of groups measured, up to this many: a trend
    // only a few groups back counts for little.
    static constexpr int trustedGroups = 60;
    static constexpr double thresholdGain = 4.0;
    static constexpr double initialThresholdMilliseconds = 12.5;
    static constexpr double overuseMilliseconds = 10.0;

    DelayTrendDetector();

    // A packet with transport-wide sequence number `sequence` left at `at` (nanoseconds).
    void packetSent(std::uint16_t sequence, std::int64_t at);
    void feedback(const TransportFeedback& feedback);
    DelayTrend trend() const { return fit_.trend; }

  private:
    struct Group {
        std::int64_t firstSent = 0;  // nanoseconds
        std::int64_t lastSent = 0;
        std::int64_t firstArrival = 0;  // microseconds, receiver's clock
        std::int64_t lastArrival = 0;
    };
    void arrived(std::int64_t sent, std::int64_t arrival);
    void delayChanged(double delayMilliseconds, double sendMilliseconds,
                      double arrivalMilliseconds);
    void detect(double trend, double slope, double sendMilliseconds, double arrivalMilliseconds);
    void adaptThreshold(double trend, double arrivalMilliseconds);

    // Send time by sequence number; numbers wrap long after feedback for them has come.
    std::vector<std::int64_t> sentAt_;
    std::optional<std::int64_t> highest_;  // unwrapped, of the packets taken
    std::optional<Group> current_;
    std::optional<Group> previous_;
    // What the group pairs measured so far add up to, in milliseconds.
    struct Fit {
        double accumulated = 0;
        double smoothed = 0;
        std::optional<double> firstArrival;
        std::deque<std::pair<double, double>> window;  // (arrival, smoothed delay)
        int deltas = 0;
        double threshold = initialThresholdMilliseconds;
        std::optional<double> thresholdUpdatedAt;
        double overusingFor = -1;
        int overuseCount = 0;
        double previousSlope = 0;
        DelayTrend trend = DelayTrend::normal;
    };
    Fit fit_;
};

}  // namespace quillory
