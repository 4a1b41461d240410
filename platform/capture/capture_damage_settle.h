#pragma once

#include <optional>

namespace quillory {

// When a capture should grab after the screen was damaged, instead of waiting for its next
// tick: once the damage has been quiet for a moment (a client's picture arrives in several
// requests, and a grab in between tears it), yet no later than a bound after the first damage,
// and never sooner than a share of the frame interval after the previous grab, so that the
// frame rate stays the configured one.
class CaptureDamageSettle {
  public:
    static constexpr double quietSeconds = 0.0015;
    static constexpr double longestSettleSeconds = 0.006;
    static constexpr double spacingShare = 0.75;

    explicit CaptureDamageSettle(double intervalSeconds) : interval_(intervalSeconds) {}

    void setInterval(double intervalSeconds) { interval_ = intervalSeconds; }
    // Damage seen at `now`; the time to grab at.
    double damaged(double now);
    // A picture was grabbed at `now`, whatever woke the capture.
    void grabbed(double now);
    // The time to grab at while damage waits for a grab.
    std::optional<double> due() const;

  private:
    double interval_;
    std::optional<double> firstDamage_;
    std::optional<double> lastGrab_;
    double due_ = 0;
};

}  // namespace quillory
