#include "platform/webrtc/gstreamer/connection_liveness.h"

#include "platform/clock/clock.h"
#include "platform/dispatch/sequence_checker.h"

namespace quillory {

std::optional<PeerConnectionState> ConnectionLiveness::webrtcChanged(PeerConnectionState state,
                                                                     std::int64_t now) {
    webrtcConnected_ = state == PeerConnectionState::connected;
    if (!webrtcConnected_) {
        reported_ = state;
        return state;
    }
    if (!lastSign_) {
        lastSign_ = now;
    }
    return report();
}

std::optional<PeerConnectionState> ConnectionLiveness::rtcpArrived(std::int64_t now) {
    lastSign_ = now;
    if (!silent_) {
        return std::nullopt;
    }
    silent_ = false;
    return report();
}

std::optional<PeerConnectionState> ConnectionLiveness::check(std::int64_t now) {
    if (!lastSign_ || silent_ ||
        static_cast<double>(now - *lastSign_) / 1e9 <= silenceLimitSeconds) {
        return std::nullopt;
    }
    silent_ = true;
    return report();
}

std::optional<PeerConnectionState> ConnectionLiveness::report() {
    if (!webrtcConnected_) {
        return std::nullopt;
    }
    const PeerConnectionState state =
        silent_ ? PeerConnectionState::disconnected : PeerConnectionState::connected;
    if (reported_ == state) {
        return std::nullopt;
    }
    reported_ = state;
    return state;
}

std::shared_ptr<ConnectionStateReporter> ConnectionStateReporter::create(Post post,
                                                                         Deliver deliver) {
    return std::make_shared<ConnectionStateReporter>(Private{}, std::move(post),
                                                     std::move(deliver));
}

ConnectionStateReporter::ConnectionStateReporter(Private, Post post, Deliver deliver)
    : post_(std::move(post)), deliver_(std::move(deliver)) {}

void ConnectionStateReporter::webrtcChanged(PeerConnectionState state, std::int64_t now) {
    decide([&](ConnectionLiveness& liveness) { return liveness.webrtcChanged(state, now); });
}

void ConnectionStateReporter::rtcpArrived(std::int64_t now) {
    decide([&](ConnectionLiveness& liveness) { return liveness.rtcpArrived(now); });
}

void ConnectionStateReporter::check(std::int64_t now) {
    decide([&](ConnectionLiveness& liveness) { return liveness.check(now); });
}

void ConnectionStateReporter::watch(SerialQueue& queue, double intervalSeconds) {
    QUILLORY_CHECK_ON(queue);
    watch_ = queue.every(intervalSeconds, [weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->check(static_cast<std::int64_t>(uptimeNanoseconds()));
        }
    });
}

void ConnectionStateReporter::stopWatching() {
    watch_.cancel();
}

template <typename Step>
void ConnectionStateReporter::decide(Step step) {
    std::optional<PeerConnectionState> state;
    std::uint64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        state = step(liveness_);
        if (!state) {
            return;
        }
        number = ++decided_;
    }
    post_([weak = weak_from_this(), state = *state, number] {
        if (auto self = weak.lock()) {
            self->delivered(state, number);
        }
    });
}

void ConnectionStateReporter::delivered(PeerConnectionState state, std::uint64_t number) {
    if (number <= delivered_) {
        return;
    }
    delivered_ = number;
    deliver_(state);
}

}  // namespace quillory
