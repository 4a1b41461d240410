#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/clock/clock.h"

namespace quillory {

// A repeating timer at the display rate, 60 ticks a second on the dot. A timer takes whole
// milliseconds, and 16 of them would tick 62.5 times a second, so each wait runs instead to the
// next boundary of a 1/60 s grid laid from the start. A tick that comes late skips the frames it
// missed rather than catching up on them, and no frame ever ticks twice.
class PresentationTimer : public QObject {
    Q_OBJECT

  public:
    static constexpr std::uint64_t framesPerSecond = 60;

    explicit PresentationTimer(std::shared_ptr<const Clock> clock, QObject* parent = nullptr);

    // Lays the grid from now; the first tick comes one frame later. Restarting lays it anew.
    void start();
    void stop();
    bool isActive() const { return timer_.isActive(); }

    // When frame `frame` of the grid begins, in nanoseconds from its start (frame 0).
    static std::uint64_t frameTime(std::uint64_t frame);
    // The frame to wait for once frame `ticked` has ticked and `elapsed` nanoseconds of the grid
    // have passed: the first to begin after now, and never `ticked` itself again.
    static std::uint64_t nextFrame(std::uint64_t ticked, std::uint64_t elapsed);
    // The wait until `frame` begins, rounded up to the timer's whole milliseconds.
    static std::chrono::milliseconds waitFor(std::uint64_t frame, std::uint64_t elapsed);

  signals:
    void timeout();

  private:
    void tick();

    std::shared_ptr<const Clock> clock_;
    QTimer timer_;
    std::uint64_t start_ = 0;
    std::uint64_t frame_ = 0;
};

}  // namespace quillory
