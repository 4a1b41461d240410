#include "platform/webrtc/gstreamer/gst_peer_transport_factory.h"

#include <openssl/crypto.h>

#include <charconv>
#include <limits>
#include <string_view>

#include "platform/webrtc/gstreamer/gst_peer_transport.h"
#include "platform/webrtc/gstreamer/gst_webrtc_setup.h"
#include "platform/webrtc/gstreamer/packet_pacer.h"

namespace quillory {

namespace {

// Without a maximum: more than any encoder here produces, and exact in the estimate's arithmetic.
constexpr std::int64_t unboundedBitrateBps = std::numeric_limits<std::int32_t>::max();

}  // namespace

std::optional<std::int64_t> factoryMaximumBitrateBps(
    const std::map<std::string, std::string>& fieldTrials) {
    const auto trial = fieldTrials.find("WebRTC-PcFactoryDefaultBitrates");
    if (trial == fieldTrials.end()) {
        return std::nullopt;
    }
    const std::string_view text = trial->second;
    constexpr std::string_view prefix = "max:";
    constexpr std::string_view suffix = "bps";
    if (!text.starts_with(prefix) || !text.ends_with(suffix)) {
        return std::nullopt;
    }
    const std::string_view digits =
        text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value <= 0) {
        return std::nullopt;
    }
    return value;
}

GstPeerTransportFactory::GstPeerTransportFactory(
    std::shared_ptr<VideoEncoderFactory> defaultEncoders)
    : defaultEncoders_(std::move(defaultEncoders)),
      teardown_(std::make_shared<SerialQueue>("app.quillory.media.teardown")),
      maximumBitrateBps_(unboundedBitrateBps) {
    // Stopped pipelines (their DTLS) and released encoders use OpenSSL on the teardown queue,
    // which a factory living until exit finishes in its destructor. Exit handlers run in reverse:
    // with OpenSSL set up first, its cleanup comes after that destructor. (Without an option
    // the call returns before it sets the cleanup up.)
    OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
}

void GstPeerTransportFactory::setUp(const std::map<std::string, std::string>& fieldTrials) {
    if (const auto delay = pacingDelayNanoseconds(fieldTrials)) {
        pacingDelay_ = *delay;
    }
    maximumBitrateBps_.store(factoryMaximumBitrateBps(fieldTrials).value_or(unboundedBitrateBps));
    {
        std::lock_guard lock(mutex_);
        probing_ = probingConfiguration(fieldTrials);
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
    std::optional<ProbingConfiguration> probing;
    {
        std::lock_guard lock(mutex_);
        probing = probing_;
    }
    return GstPeerTransport::create(
        configuration, encoderFactory ? std::move(encoderFactory) : defaultEncoders_,
        std::move(delegate), teardown_, maximumBitrateBps_.load(), pacingDelay_.load(), probing);
}

}  // namespace quillory
