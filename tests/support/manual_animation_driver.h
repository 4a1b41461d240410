#pragma once

#include <QAnimationDriver>
#include <QCoreApplication>

namespace quillory {

// Hands Qt's animations time in exact 16 ms frames, so that springs, fades and transitions can be
// sampled frame by frame without a clock.
class ManualAnimationDriver final : public QAnimationDriver {
  public:
    // Qt stops the driver while no animation runs and, starting it again, reads its time as time
    // since that start; an advance while stopped would start it behind Qt's back, and the next
    // animation would take every frame since then in one step.
    ManualAnimationDriver() {
        connect(this, &QAnimationDriver::started, this, [this] { milliseconds_ = 0; });
    }

    qint64 elapsed() const override { return milliseconds_; }
    void frame() {
        QCoreApplication::processEvents();  // Qt starts newly registered animations from here.
        milliseconds_ += 16;
        if (isRunning()) {
            advance();
        }
    }

  private:
    qint64 milliseconds_ = 0;
};

}  // namespace quillory
