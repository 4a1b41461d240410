#include "platform/dispatch/testing/manual_executor.h"

#include <chrono>

namespace quillory {

ManualExecutor::ManualExecutor(std::shared_ptr<FakeClock> clock)
    : clock_(std::move(clock)), owner_(std::this_thread::get_id()) {}

void ManualExecutor::post(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        work_.push_back(std::move(work));
    }
    workArrived_.notify_all();
}

Timer ManualExecutor::after(double seconds, std::function<void()> work) {
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        id = nextTimerId_++;
        const auto delay = static_cast<std::uint64_t>(seconds > 0 ? seconds * 1e9 : 0);
        timers_.emplace(clock_->nowNanoseconds() + delay, std::make_pair(id, std::move(work)));
    }
    std::weak_ptr<ManualExecutor> weakSelf = weak_from_this();
    return Timer([weakSelf, id] {
        auto self = weakSelf.lock();
        if (!self) {
            return;
        }
        std::lock_guard lock(self->mutex_);
        for (auto it = self->timers_.begin(); it != self->timers_.end(); ++it) {
            if (it->second.first == id) {
                self->timers_.erase(it);
                return;
            }
        }
    });
}

bool ManualExecutor::isCurrent() const {
    std::lock_guard lock(mutex_);
    return owner_ == std::this_thread::get_id();
}

bool ManualExecutor::runOne() {
    std::function<void()> next;
    {
        std::lock_guard lock(mutex_);
        owner_ = std::this_thread::get_id();
        if (!work_.empty()) {
            next = std::move(work_.front());
            work_.pop_front();
        } else if (!timers_.empty() && timers_.begin()->first <= clock_->nowNanoseconds()) {
            next = std::move(timers_.begin()->second.second);
            timers_.erase(timers_.begin());
        } else {
            return false;
        }
    }
    next();
    return true;
}

std::size_t ManualExecutor::runUntilIdle() {
    std::size_t count = 0;
    while (runOne()) {
        ++count;
    }
    return count;
}

std::size_t ManualExecutor::advance(double seconds) {
    const auto target = clock_->nowNanoseconds() + static_cast<std::uint64_t>(seconds * 1e9);
    std::size_t count = runUntilIdle();
    for (;;) {
        std::uint64_t due = 0;
        {
            std::lock_guard lock(mutex_);
            if (timers_.empty() || timers_.begin()->first > target) {
                break;
            }
            due = timers_.begin()->first;
        }
        if (due > clock_->nowNanoseconds()) {
            clock_->set(due);
        }
        count += runUntilIdle();
    }
    if (clock_->nowNanoseconds() < target) {
        clock_->set(target);
    }
    return count + runUntilIdle();
}

bool ManualExecutor::waitForWork(double timeoutSeconds) {
    std::unique_lock lock(mutex_);
    return workArrived_.wait_for(
        lock, std::chrono::nanoseconds(static_cast<std::int64_t>(timeoutSeconds * 1e9)),
        [this] { return !work_.empty(); });
}

std::size_t ManualExecutor::pendingTimers() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

}  // namespace quillory
