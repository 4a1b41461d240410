#include "media/studio_peer_adaptation.h"

#include <algorithm>
#include <utility>

#include "platform/dispatch/sequence_checker.h"
#include "platform/log/logger.h"

namespace quillory {

StudioPeerAdaptation::StudioPeerAdaptation(std::shared_ptr<Executor> controlQueue,
                                           std::shared_ptr<Clock> clock, HandOff handOff)
    : controlQueue_(std::move(controlQueue)),
      clock_(std::move(clock)),
      handOff_(std::move(handOff)) {}

template <typename Work>
void StudioPeerAdaptation::post(Work work) {
    controlQueue_->post([weak = weak_from_this(), work = std::move(work)] {
        if (auto self = weak.lock()) {
            QUILLORY_CHECK_ON(*self->controlQueue_);
            work(*self);
        }
    });
}

void StudioPeerAdaptation::configure(std::uint64_t token,
                                     const StudioStreamConfiguration& configuration) {
    post([token, configuration](StudioPeerAdaptation& self) {
        if (self.closed_) {
            return;
        }
        self.token_ = token;
        if (!self.policy_) {
            self.policy_.emplace(configuration.preset, configuration.width, configuration.height,
                                 self.now());
        } else {
            self.policy_->reconfigure(configuration, self.now());
        }
        self.handOff(self.policy_->target(), token);
    });
}

void StudioPeerAdaptation::observe(StudioAdaptationObservation observation) {
    post([observation = std::move(observation)](StudioPeerAdaptation& self) {
        if (self.closed_) {
            return;
        }
        if (self.policy_) {
            if (auto target = self.policy_->observe(observation, self.now())) {
                self.handOff(*target, self.token_);
                return;
            }
        }
        self.scheduleDeadline();
    });
}

void StudioPeerAdaptation::applied(const StudioOperatingPoint& target,
                                   std::uint64_t configurationToken) {
    post([target, configurationToken](StudioPeerAdaptation& self) {
        if (self.closed_ || self.token_ != configurationToken) {
            return;
        }
        if (self.policy_) {
            self.policy_->markApplied(target, self.now());
        }
        self.scheduleDeadline();
    });
}

void StudioPeerAdaptation::resume() {
    post([](StudioPeerAdaptation& self) {
        if (self.policy_) {
            self.policy_->resume(self.now());
        }
    });
}

void StudioPeerAdaptation::suspend() {
    post([](StudioPeerAdaptation& self) {
        if (self.policy_) {
            self.policy_->reset();
        }
        self.deadline_.cancel();
    });
}

void StudioPeerAdaptation::close() {
    post([](StudioPeerAdaptation& self) {
        self.closed_ = true;
        self.deadline_.cancel();
        self.policy_.reset();
    });
}

void StudioPeerAdaptation::scheduleDeadline() {
    QUILLORY_CHECK_ON(*controlQueue_);
    deadline_.cancel();
    if (closed_ || !policy_ || !policy_->nextDeadline()) {
        return;
    }
    const double delay = std::max(0.0, *policy_->nextDeadline() - now());
    deadline_ = controlQueue_->after(delay, [weak = weak_from_this(), token = token_] {
        if (auto self = weak.lock()) {
            self->deadlineReached(token);
        }
    });
}

void StudioPeerAdaptation::deadlineReached(std::uint64_t token) {
    QUILLORY_CHECK_ON(*controlQueue_);
    if (closed_ || token_ != token) {
        return;
    }
    deadline_ = Timer{};
    if (!policy_) {
        scheduleDeadline();
        return;
    }
    if (auto target = policy_->deadlineReached(now())) {
        handOff(*target, token);
    } else {
        scheduleDeadline();
    }
}

void StudioPeerAdaptation::handOff(const StudioOperatingPoint& target,
                                   std::uint64_t configurationToken) {
    QUILLORY_CHECK_ON(*controlQueue_);
    deadline_.cancel();
    // Debug only (QUILLORY_DEBUG=media): why a stream stepped, for a user's report.
    static const Logger logger("media", "adaptation");
    logger.debug("Operating point %dx%d at %d fps: %s", target.size.width, target.size.height,
                 target.framesPerSecond, policy_ ? policy_->changeReason().c_str() : "");
    handOff_(target, configurationToken, ++lastFormatToken_);
}

}  // namespace quillory
