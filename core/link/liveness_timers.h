#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/clock/clock.h"
#include "platform/dispatch/executor.h"
#include "platform/dispatch/serial_queue.h"
#include "protocol/uuid.h"

namespace quillory {

// The channel's clocks: the handshake deadline, the heartbeat that expires a silent peer, the
// ping that measures latency, and the delay before a stopping link closes. Lives on the
// transport queue; a timer that fires reaches its owner only while the owner exists.
class LivenessTimers {
  public:
    class Owner {
      public:
        virtual ~Owner() = default;
        virtual void handshakeDeadlinePassed() = 0;
        // No line for heartbeatExpiry seconds.
        virtual void heartbeatExpired() = 0;
        virtual void pingDue() = 0;
        virtual void stopDelayPassed() = 0;
    };

    static constexpr double pingInterval = 2.0;
    static constexpr double heartbeatExpiry = 6.0;
    static constexpr double stopDelay = 0.5;

    // Without timers the queue's own run them; without a clock, uptime counts.
    LivenessTimers(std::shared_ptr<Executor> timers, std::shared_ptr<const Clock> clock,
                   SerialQueue& queue);

    // Transport queue only, from here on. The link starts; silence is counted from now.
    void start(std::weak_ptr<Owner> owner);
    // A line arrived.
    void heard() { lastInbound_ = clock_->nowNanoseconds(); }
    double secondsSinceInbound() const { return secondsSince(lastInbound_); }

    void armDeadline(double seconds);
    void cancelDeadline() { handshakeDeadline_.cancel(); }
    // Starts the heartbeat and the ping once keys exist.
    void startHeartbeat();
    void armPing();
    void stopPinging() { pingTimer_.cancel(); }
    void armStopDelay();
    void cancelAll();

    // A new ping probe; says whether the previous one went unanswered.
    struct Probe {
        Uuid probe;
        bool previousUnanswered;
    };
    Probe nextProbe();
    // The round trip in milliseconds when this answers the outstanding probe.
    std::optional<double> answered(const Uuid& probe);

  private:
    void armHeartbeat();
    double secondsSince(std::uint64_t nanoseconds) const;
    template <typename Work>
    Timer after(double seconds, Work work);

    std::shared_ptr<Executor> timers_;
    std::shared_ptr<const Clock> clock_;
    SerialQueue& queue_;
    std::weak_ptr<Owner> owner_;
    std::uint64_t lastInbound_ = 0;
    std::optional<Uuid> probe_;
    std::uint64_t probeSentAt_ = 0;
    bool stopped_ = false;
    Timer handshakeDeadline_;
    Timer heartbeat_;
    Timer pingTimer_;
    Timer stopTimer_;
};

}  // namespace quillory
