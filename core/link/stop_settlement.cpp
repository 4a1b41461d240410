#include "core/link/stop_settlement.h"

#include <chrono>

namespace quillory {

void StopSettlement::lineWritten() {
    if (linesUntilStop_ && --*linesUntilStop_ == 0) {
        linesUntilStop_.reset();
        settle();
    }
}

void StopSettlement::settle() {
    {
        std::lock_guard lock(mutex_);
        settled_ = true;
    }
    condition_.notify_all();
}

bool StopSettlement::waitFor(double seconds) {
    std::unique_lock lock(mutex_);
    return condition_.wait_for(lock, std::chrono::duration<double>(seconds),
                               [this] { return settled_; });
}

}  // namespace quillory
