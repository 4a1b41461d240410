#include "platform/webrtc/gstreamer/gst_peer_transport_factory.h"

#include <openssl/crypto.h>

#include "platform/webrtc/gstreamer/gst_peer_transport.h"
#include "platform/webrtc/gstreamer/gst_webrtc_setup.h"

namespace quillory {

GstPeerTransportFactory::GstPeerTransportFactory(
    std::shared_ptr<VideoEncoderFactory> defaultEncoders)
    : defaultEncoders_(std::move(defaultEncoders)),
      teardown_(std::make_shared<SerialQueue>("app.quillory.media.teardown")) {
    // Stopped pipelines (their DTLS) and released encoders use OpenSSL on the teardown queue,
    // which a factory living until exit finishes in its destructor. Exit handlers run in reverse:
    // with OpenSSL set up first, its cleanup comes after that destructor. (Without an option
    // the call returns before it sets the cleanup up.)
    OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
}

void GstPeerTransportFactory::setUp(const std::map<std::string, std::string>&) {
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
                                    std::move(delegate), teardown_);
}

}  // namespace quillory
