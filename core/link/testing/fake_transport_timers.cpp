#include "core/link/testing/fake_transport_timers.h"

#include <algorithm>

namespace quillory {

Timer FakeTransportTimers::after(SerialQueue& queue, double seconds, std::function<void()> work) {
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        id = nextId_++;
        const auto delay = static_cast<std::uint64_t>(seconds > 0 ? seconds * 1e9 : 0);
        timers_.emplace(clock_->nowNanoseconds() + delay, Entry{id, &queue, std::move(work)});
    }
    std::weak_ptr<FakeTransportTimers> weakSelf = weak_from_this();
    return Timer([weakSelf, id] {
        if (auto self = weakSelf.lock()) {
            std::lock_guard lock(self->mutex_);
            std::erase_if(self->timers_, [id](const auto& entry) { return entry.second.id == id; });
        }
    });
}

void FakeTransportTimers::advance(double seconds) {
    const auto target = clock_->nowNanoseconds() + static_cast<std::uint64_t>(seconds * 1e9);
    for (;;) {
        Entry entry;
        {
            std::lock_guard lock(mutex_);
            if (timers_.empty() || timers_.begin()->first > target) {
                break;
            }
            if (timers_.begin()->first > clock_->nowNanoseconds()) {
                clock_->set(timers_.begin()->first);
            }
            entry = std::move(timers_.begin()->second);
            timers_.erase(timers_.begin());
        }
        // The owner may have cancelled the timer meanwhile; it checks its own state on the queue.
        (void)entry.queue->sync(entry.work);
    }
    clock_->set(std::max(clock_->nowNanoseconds(), target));
}

std::size_t FakeTransportTimers::pending() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

}  // namespace quillory
