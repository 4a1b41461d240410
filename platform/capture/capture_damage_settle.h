#pragma once

#include <optional>

namespace quillory {

// When a capture should grab after the screen was damaged, instead of waiting for its next
// tick. The server sends damage once it has run every request a client had written, so a
// picture that a client sends at once (a copy from its back buffer, one image) is complete when
// the damage arrives and is grabbed then. A client that draws one picture in several writes
// shows itself by damage right after grabs; for a while its pictures are then grabbed once the
// damage has been quiet for a moment (a grab in between tears them), yet no later than a bound
// after the first damage. Grabs stay three quarters of a frame interval apart, which holds a
// client drawing faster near the configured rate. Damage within three fifths of an interval of a
// grab is such a client's: rather than grab its picture late, the capture waits for its next one
// past the spacing, or for a whole interval if none comes, so that of a client drawing at twice
// the rate every other picture is grabbed as it comes. Later damage is a picture of a client at
// the configured rate that came a little early, and waits only for the spacing. No time is booked
// per grab: a client drawing at the configured rate would never give back what a late picture or
// a change of rate took, and every later picture would wait for it.
class CaptureDamageSettle {
  public:
    static constexpr double quietSeconds = 0.0015;
    static constexpr double longestSettleSeconds = 0.006;
    static constexpr double spacingShare = 0.75;
    static constexpr double fasterShare = 0.6;
    static constexpr double stepwiseMemorySeconds = 1.0;

    explicit CaptureDamageSettle(double intervalSeconds) : interval_(intervalSeconds) {}

    void setInterval(double intervalSeconds) { interval_ = intervalSeconds; }
    // Damage seen at `now`; the time to grab at.
    double damaged(double now);
    // A picture was grabbed from `start` until `end`, whatever woke the capture.
    void grabbed(double start, double end);
    // The time to grab at while damage waits for a grab.
    std::optional<double> due() const;

  private:
    double interval_;
    std::optional<double> firstDamage_;
    std::optional<double> lastGrab_;  // when it ended, which damage drawn during it follows
    double lastGrabStart_ = 0;        // when its picture was taken, which spacing counts from
    std::optional<double> stepwiseUntil_;
    int soonAfterGrab_ = 0;
    double due_ = 0;
};

}  // namespace quillory
