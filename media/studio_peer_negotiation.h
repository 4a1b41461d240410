#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/dispatch/main_queue.h"
#include "platform/webrtc/peer_transport.h"
#include "protocol/studio_signal.h"

namespace quillory {

// A Studio peer's description exchange: makes the local description (an offer, or the answer to
// the tablet's offer), sets it, hands it over once gathering has finished, and applies the
// tablet's description once. Main thread; the transport's completions come back through the main
// executor, holding this object weakly. Nothing is reported after close().
class StudioPeerNegotiation final : public std::enable_shared_from_this<StudioPeerNegotiation> {
  public:
    struct Callbacks {
        std::function<void(const std::string& sdp)> described;
        std::function<void(const std::string& message)> failed;
    };

    StudioPeerNegotiation(std::shared_ptr<Executor> main, std::weak_ptr<PeerTransport> transport,
                          Callbacks callbacks);

    void offer();
    void receive(const StudioSignal& signal);
    // Hands the local description over when it is set and gathering has finished; at most once.
    void sendLocalDescription();
    void close();

  private:
    CreateDescriptionCompletion descriptionCompletion();
    void descriptionCreated(const std::optional<SessionDescription>& description,
                            const std::string& error);
    void localDescriptionSet(const std::string& error);
    void remoteDescriptionSet(bool wasOffer, const std::string& error);
    void fail(const char* message);

    const std::shared_ptr<Executor> main_;
    const std::weak_ptr<PeerTransport> transport_;
    const Callbacks callbacks_;
    bool closed_ = false;
    bool sentDescription_ = false;
    bool remoteSet_ = false;
};

}  // namespace quillory
