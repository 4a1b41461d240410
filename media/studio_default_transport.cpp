#include "media/studio_default_transport.h"

#include "media/interactive_h264_factory.h"
#include "platform/webrtc/gstreamer/gst_peer_transport_factory.h"

namespace quillory {

std::shared_ptr<PeerTransportFactory> studioDefaultTransportFactory() {
    static const std::shared_ptr<PeerTransportFactory> factory =
        std::make_shared<GstPeerTransportFactory>(std::make_shared<InteractiveH264Factory>());
    return factory;
}

}  // namespace quillory
