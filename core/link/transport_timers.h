#pragma once

#include <cstdint>
#include <functional>

#include "platform/clock/clock.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/dispatch/timer.h"

namespace quillory {

// Time and one-shot timers of a channel, on its transport queue. Production uses the monotonic
// clock and the queue's own timers; tests move a fake clock.
class TransportTimers {
  public:
    virtual ~TransportTimers() = default;
    virtual std::uint64_t nowNanoseconds() const = 0;
    virtual Timer after(SerialQueue& queue, double seconds, std::function<void()> work) = 0;
};

class SystemTransportTimers final : public TransportTimers {
  public:
    std::uint64_t nowNanoseconds() const override { return uptimeNanoseconds(); }
    Timer after(SerialQueue& queue, double seconds, std::function<void()> work) override {
        return queue.after(seconds, std::move(work));
    }
};

}  // namespace quillory
