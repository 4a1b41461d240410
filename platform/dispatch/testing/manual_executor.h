#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/clock/testing/fake_clock.h"
#include "platform/dispatch/main_queue.h"

namespace quillory {

// Runs only when driven; time comes from a FakeClock the test moves. Safe to post to from any
// thread; run*() belong to one thread, which then counts as current (the main thread when it is
// the main queue). Its timers can also measure time for work on a SerialQueue (afterOn).
class ManualExecutor final : public Executor, public std::enable_shared_from_this<ManualExecutor> {
  public:
    explicit ManualExecutor(std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>());

    void post(std::function<void()> work) override;
    Timer after(double seconds, std::function<void()> work) override;
    bool isCurrent() const override;

    const std::shared_ptr<FakeClock>& clock() const { return clock_; }
    // Runs posted work and due timers until none is left; returns how many ran.
    std::size_t runUntilIdle();
    // Moves the clock forward, running each timer at its due time in order.
    std::size_t advance(double seconds);
    // Waits (really) until work is posted or the timeout passes; for work from other threads.
    bool waitForWork(double timeoutSeconds);
    std::size_t pendingTimers() const;

  private:
    bool runOne();

    std::shared_ptr<FakeClock> clock_;
    mutable std::mutex mutex_;
    std::condition_variable workArrived_;
    std::deque<std::function<void()>> work_;
    std::multimap<std::uint64_t, std::pair<std::uint64_t, std::function<void()>>> timers_;
    std::uint64_t nextTimerId_ = 1;
    std::thread::id owner_;
};

}  // namespace quillory
