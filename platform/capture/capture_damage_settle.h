#pragma once

#include <optional>

namespace quillory {

// When a capture should grab after the screen was damaged, instead of waiting for its next
// tick. The server sends damage once it has run every request a client had written, so a
// picture that a client sends at once (a copy from its back buffer, one image) is complete when
// the damage arrives and is grabbed then. A client that draws one picture in several writes
// shows itself by damage right after grabs; for a while its pictures are then grabbed once the
// damage has been quiet for a moment (a grab in between tears them), yet no later than a bound
// after the first damage. Each grab books one frame interval, and a grab may come at most half
// an interval before its booking: the frame rate stays the configured one on average, yet a
// picture that comes a little early because the last one came late is not held back.
class CaptureDamageSettle {
  public:
    static constexpr double quietSeconds = 0.0015;
    static constexpr double longestSettleSeconds = 0.006;
    static constexpr double slackShare = 0.5;
    static constexpr double stepwiseMemorySeconds = 1.0;

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
    std::optional<double> booked_;  // when the next grab is due at the configured rate
    std::optional<double> stepwiseUntil_;
    int soonAfterGrab_ = 0;
    double due_ = 0;
};

}  // namespace quillory
