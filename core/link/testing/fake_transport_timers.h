#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "core/link/transport_timers.h"
#include "platform/clock/clock.h"
#include "platform/clock/testing/fake_clock.h"

namespace quillory {

// Timers that fire only when the test moves the clock; each due timer runs on its queue and
// advance() waits for it, so a test sees every effect of the move when advance() returns.
class FakeTransportTimers final : public TransportTimers,
                                  public std::enable_shared_from_this<FakeTransportTimers> {
  public:
    explicit FakeTransportTimers(std::shared_ptr<FakeClock> clock) : clock_(std::move(clock)) {}

    std::uint64_t nowNanoseconds() const override { return clock_->nowNanoseconds(); }
    Timer after(SerialQueue& queue, double seconds, std::function<void()> work) override;
    // Runs due timers in order of due time, setting the clock to each due time first.
    void advance(double seconds);
    std::size_t pending() const;

  private:
    struct Entry {
        std::uint64_t id;
        SerialQueue* queue;
        std::function<void()> work;
    };
    std::shared_ptr<FakeClock> clock_;
    mutable std::mutex mutex_;
    std::multimap<std::uint64_t, Entry> timers_;
    std::uint64_t nextId_ = 1;
};

}  // namespace quillory
