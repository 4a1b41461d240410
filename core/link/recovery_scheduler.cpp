#include "core/link/recovery_scheduler.h"

#include "platform/dispatch/main_queue.h"
#include "protocol/reconnect_delay.h"

namespace quillory {

void RecoveryScheduler::scheduleRetry(std::function<void()> action) {
    if (retry_.isScheduled()) {
        return;
    }
    const double delay = reconnectDelay(attempt_);
    ++attempt_;
    stability_.cancel();
    // The timers are cancelled when the scheduler goes, so they may hold it plainly.
    retry_ = MainQueue::after(delay, [this, action = std::move(action)] {
        // Cleared first, so the action may schedule the next retry.
        retry_ = Timer();
        action();
    });
}

void RecoveryScheduler::markConnected() {
    retry_.cancel();
    stability_ = MainQueue::after(stabilitySeconds, [this] {
        attempt_ = 0;
        stability_ = Timer();
    });
}

void RecoveryScheduler::cancel() {
    retry_.cancel();
    stability_.cancel();
}

}  // namespace quillory
