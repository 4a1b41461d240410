#include "platform/webrtc/gstreamer/gst_peer_transport_factory.h"

#include "platform/webrtc/gstreamer/gst_peer_transport.h"
#include "platform/webrtc/gstreamer/gst_webrtc_setup.h"
#include "platform/webrtc/gstreamer/packet_pacer.h"

namespace quillory {

GstPeerTransportFactory::GstPeerTransportFactory(
    std::shared_ptr<VideoEncoderFactory> defaultEncoders)
    : defaultEncoders_(std::move(defaultEncoders)),
      teardown_(std::make_shared<SerialQueue>("app.quillory.media.teardown")) {}

void GstPeerTransportFactory::setUp(const std::map<std::string, std::string>& fieldTrials) {
    if (const auto delay = pacingDelayNanoseconds(fieldTrials)) {
        pacingDelay_ = *delay;
    }
    gstreamerWebRtcAvailable();
}

std::shared_ptr<PeerTransport> GstPeerTransportFactory::createTransport(
    const PeerTransportConfiguration& configuration,
    std::shared_ptr<VideoEncoderFactory> encoderFactory,
    std::shared_ptr<PeerTransportDelegate> delegate) {
    if (!gstreamerWebRtcAvailable()) {
        return nullptr;
    }
    return GstPeerTransport::create(configuration,
                                    encoderFactory ? std::move(encoderFactory) : defaultEncoders_,
                                    std::move(delegate), teardown_, pacingDelay_.load());
}

}  // namespace quillory
