#include "core/link/liveness_timers.h"

#include <algorithm>

#include "platform/dispatch/sequence_checker.h"

namespace quillory {

LivenessTimers::LivenessTimers(std::shared_ptr<Executor> timers, std::shared_ptr<const Clock> clock,
                               SerialQueue& queue)
    : timers_(std::move(timers)),
      clock_(clock ? std::move(clock) : std::make_shared<SystemClock>()),
      queue_(queue) {}

void LivenessTimers::start(std::weak_ptr<Owner> owner) {
    QUILLORY_CHECK_ON(queue_);
    owner_ = std::move(owner);
    lastInbound_ = clock_->nowNanoseconds();
}

template <typename Work>
Timer LivenessTimers::after(double seconds, Work work) {
    return afterOn(timers_ ? *timers_ : queue_, queue_, seconds,
                   [owner = owner_, work = std::move(work)] {
                       if (auto self = owner.lock()) {
                           work(*self);
                       }
                   });
}

void LivenessTimers::armDeadline(double seconds) {
    QUILLORY_CHECK_ON(queue_);
    handshakeDeadline_ = after(seconds, [](Owner& owner) { owner.handshakeDeadlinePassed(); });
}

void LivenessTimers::startHeartbeat() {
    armHeartbeat();
    armPing();
}

void LivenessTimers::armHeartbeat() {
    QUILLORY_CHECK_ON(queue_);
    const double remaining = heartbeatExpiry - secondsSinceInbound();
    // The timers live as long as the owner does, so the owner's presence vouches for this.
    heartbeat_ = after(std::max(remaining, 0.0), [this](Owner& owner) {
        if (stopped_) {
            return;
        }
        // One timer for the whole link: it sleeps again for whatever time the last line bought.
        if (secondsSinceInbound() >= heartbeatExpiry) {
            owner.heartbeatExpired();
        } else {
            armHeartbeat();
        }
    });
}

void LivenessTimers::armPing() {
    QUILLORY_CHECK_ON(queue_);
    pingTimer_ = after(pingInterval, [](Owner& owner) { owner.pingDue(); });
}

void LivenessTimers::armStopDelay() {
    QUILLORY_CHECK_ON(queue_);
    stopTimer_ = after(stopDelay, [](Owner& owner) { owner.stopDelayPassed(); });
}

void LivenessTimers::cancelAll() {
    QUILLORY_CHECK_ON(queue_);
    stopped_ = true;
    handshakeDeadline_.cancel();
    heartbeat_.cancel();
    pingTimer_.cancel();
    stopTimer_.cancel();
}

LivenessTimers::Probe LivenessTimers::nextProbe() {
    QUILLORY_CHECK_ON(queue_);
    const bool unanswered = probe_.has_value();
    probe_ = Uuid::random();
    probeSentAt_ = clock_->nowNanoseconds();
    return {*probe_, unanswered};
}

std::optional<double> LivenessTimers::answered(const Uuid& probe) {
    QUILLORY_CHECK_ON(queue_);
    if (!probe_ || probe != *probe_) {
        return std::nullopt;
    }
    probe_.reset();
    return static_cast<double>(clock_->nowNanoseconds() - probeSentAt_) / 1e6;
}

double LivenessTimers::secondsSince(std::uint64_t nanoseconds) const {
    const auto now = clock_->nowNanoseconds();
    return now > nanoseconds ? static_cast<double>(now - nanoseconds) / 1e9 : 0.0;
}

}  // namespace quillory
