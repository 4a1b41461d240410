#pragma once

#include <functional>

#include "platform/dispatch/timer.h"

namespace quillory {

// Retry timing on the main queue: each retry waits the reconnect table's next delay, and ten
// seconds of stable connection start the table over. Main thread only.
class RecoveryScheduler {
  public:
    static constexpr double stabilitySeconds = 10.0;

    // Runs the action once after the next delay; ignored while a retry is pending.
    void scheduleRetry(std::function<void()> action);
    void markConnected();
    // Cancels both timers and keeps the attempt count.
    void cancel();

    unsigned attempt() const { return attempt_; }
    bool isRetryPending() const { return retry_.isScheduled(); }

  private:
    unsigned attempt_ = 0;
    Timer retry_;
    Timer stability_;
};

}  // namespace quillory
