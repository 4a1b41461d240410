#include "media/studio_peer_negotiation.h"

#include <utility>

#include "platform/dispatch/sequence_checker.h"

namespace quillory {

namespace {

constexpr const char* negotiateFailed = "Could not negotiate the display stream.";
constexpr const char* prepareFailed = "Could not prepare the display stream.";
constexpr const char* localDescriptionFailed = "Could not prepare the local video connection.";

}  // namespace

StudioPeerNegotiation::StudioPeerNegotiation(std::shared_ptr<Executor> main,
                                             std::weak_ptr<PeerTransport> transport,
                                             Callbacks callbacks)
    : main_(std::move(main)), transport_(std::move(transport)), callbacks_(std::move(callbacks)) {}

void StudioPeerNegotiation::close() {
    QUILLORY_CHECK_ON(*main_);
    closed_ = true;
}

void StudioPeerNegotiation::fail(const char* message) {
    QUILLORY_CHECK_ON(*main_);
    if (callbacks_.failed) {
        callbacks_.failed(message);
    }
}

void StudioPeerNegotiation::offer() {
    QUILLORY_CHECK_ON(*main_);
    if (auto transport = transport_.lock(); transport && !closed_) {
        transport->createOffer(descriptionCompletion());
    }
}

CreateDescriptionCompletion StudioPeerNegotiation::descriptionCompletion() {
    QUILLORY_CHECK_ON(*main_);
    return [weak = weak_from_this(), main = main_](std::optional<SessionDescription> description,
                                                   std::string error) {
        main->post([weak, description = std::move(description), error = std::move(error)] {
            if (auto self = weak.lock()) {
                self->descriptionCreated(description, error);
            }
        });
    };
}

void StudioPeerNegotiation::descriptionCreated(const std::optional<SessionDescription>& description,
                                               const std::string& error) {
    QUILLORY_CHECK_ON(*main_);
    if (closed_) {
        return;
    }
    if (!error.empty() || !description) {
        fail(prepareFailed);
        return;
    }
    auto transport = transport_.lock();
    if (!transport) {
        return;
    }
    transport->setLocalDescription(*description,
                                   [weak = weak_from_this(), main = main_](std::string setError) {
                                       main->post([weak, setError = std::move(setError)] {
                                           if (auto self = weak.lock()) {
                                               self->localDescriptionSet(setError);
                                           }
                                       });
                                   });
}

void StudioPeerNegotiation::localDescriptionSet(const std::string& error) {
    QUILLORY_CHECK_ON(*main_);
    if (closed_) {
        return;
    }
    if (!error.empty()) {
        fail(localDescriptionFailed);
        return;
    }
    sendLocalDescription();
}

void StudioPeerNegotiation::sendLocalDescription() {
    QUILLORY_CHECK_ON(*main_);
    auto transport = transport_.lock();
    if (closed_ || sentDescription_ || !transport) {
        return;
    }
    if (transport->iceGatheringState() != IceGatheringState::complete) {
        return;
    }
    const std::optional<SessionDescription> local = transport->localDescription();
    if (!local) {
        return;
    }
    sentDescription_ = true;
    if (callbacks_.described) {
        callbacks_.described(local->sdp);
    }
}

void StudioPeerNegotiation::receive(const StudioSignal& signal) {
    QUILLORY_CHECK_ON(*main_);
    auto transport = transport_.lock();
    if (closed_ || remoteSet_ || !signal.isValid() || !signal.sdp || !transport) {
        return;
    }
    if (signal.kind != StudioSignal::Kind::offer && signal.kind != StudioSignal::Kind::answer) {
        return;
    }
    const bool offer = signal.kind == StudioSignal::Kind::offer;
    remoteSet_ = true;
    transport->setRemoteDescription(
        SessionDescription{
            .type = offer ? SessionDescription::Type::offer : SessionDescription::Type::answer,
            .sdp = *signal.sdp,
        },
        [weak = weak_from_this(), main = main_, offer](std::string error) {
            main->post([weak, offer, error = std::move(error)] {
                if (auto self = weak.lock()) {
                    self->remoteDescriptionSet(offer, error);
                }
            });
        });
}

void StudioPeerNegotiation::remoteDescriptionSet(bool wasOffer, const std::string& error) {
    QUILLORY_CHECK_ON(*main_);
    if (closed_) {
        return;
    }
    if (!error.empty()) {
        fail(negotiateFailed);
        return;
    }
    if (auto transport = transport_.lock(); wasOffer && transport) {
        transport->createAnswer(descriptionCompletion());
    }
}

}  // namespace quillory
