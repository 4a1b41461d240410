#pragma once

#include <functional>

#include "platform/dispatch/serial_queue.h"
#include "platform/dispatch/timer.h"

namespace quillory {

// Notices a tablet that fell silent: keys held with no action for holdTimeout, or the pen down
// with no input for penTimeout. Input queue only, apart from start() and cancel().
class InputWatchdog {
  public:
    static constexpr double holdTimeout = 3.0;
    static constexpr double penTimeout = 2.0;
    static constexpr double interval = 0.25;

    void start(SerialQueue& queue, std::function<void()> tick) {
        timer_ = queue.every(interval, std::move(tick));
    }
    void cancel() { timer_.cancel(); }

    void actionPerformed(double now) { lastAction_ = now; }
    void inputProcessed(double now) { lastInput_ = now; }
    // A new connection has sent no input yet.
    void forgetInput() { lastInput_ = 0; }
    // Whether the pen and keys must be lifted now.
    bool expired(double now, bool holdsChords, bool penDown) const {
        return (holdsChords && now - lastAction_ > holdTimeout) ||
               (penDown && now - lastInput_ > penTimeout);
    }

  private:
    // Seconds of uptime.
    double lastAction_ = 0;
    double lastInput_ = 0;
    Timer timer_;
};

}  // namespace quillory
