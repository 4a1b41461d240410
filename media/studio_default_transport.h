#pragma once

#include <memory>

#include "platform/webrtc/peer_transport_factory.h"

namespace quillory {

// The process-wide transport factory of peers built without an encoder factory: webrtcbin over
// the Studio codec list's default encoders, made once and shared.
std::shared_ptr<PeerTransportFactory> studioDefaultTransportFactory();

}  // namespace quillory
