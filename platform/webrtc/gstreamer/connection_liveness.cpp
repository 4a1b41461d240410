#include "platform/webrtc/gstreamer/connection_liveness.h"

namespace quillory {

std::optional<PeerConnectionState> ConnectionLiveness::webrtcChanged(PeerConnectionState state) {
    webrtcConnected_ = state == PeerConnectionState::connected;
    if (!webrtcConnected_) {
        reported_ = state;
        return state;
    }
    return report();
}

std::optional<PeerConnectionState> ConnectionLiveness::feedbackArrived(std::int64_t now) {
    lastFeedback_ = now;
    if (!silent_) {
        return std::nullopt;
    }
    silent_ = false;
    return report();
}

std::optional<PeerConnectionState> ConnectionLiveness::check(std::int64_t now,
                                                             double limitSeconds) {
    if (!lastFeedback_ || silent_ ||
        static_cast<double>(now - *lastFeedback_) / 1e9 < limitSeconds) {
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

}  // namespace quillory
