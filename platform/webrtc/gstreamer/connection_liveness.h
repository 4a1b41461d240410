#pragma once

#include <cstdint>
#include <optional>

#include "platform/webrtc/peer_transport.h"

namespace quillory {

// The connection state a sender reports: webrtcbin's, except that a connection it calls
// connected counts as disconnected while the other side's RTCP has been silent for longer than
// the limit (webrtcbin stays connected long after the other side went), and as connected again
// when RTCP returns. The watch starts with the first RTCP. Each step answers the state to report
// when it changed. Not thread-safe.
class ConnectionLiveness {
  public:
    std::optional<PeerConnectionState> webrtcChanged(PeerConnectionState state);
    std::optional<PeerConnectionState> feedbackArrived(std::int64_t nowNanoseconds);
    std::optional<PeerConnectionState> check(std::int64_t nowNanoseconds, double limitSeconds);

  private:
    std::optional<PeerConnectionState> report();

    bool webrtcConnected_ = false;
    std::optional<std::int64_t> lastFeedback_;
    bool silent_ = false;
    std::optional<PeerConnectionState> reported_;
};

}  // namespace quillory
