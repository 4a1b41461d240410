#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/dispatch/serial_queue.h"
#include "platform/webrtc/gstreamer/packet_pacer.h"
#include "platform/webrtc/peer_transport_factory.h"

namespace quillory {

// Makes webrtcbin transports. Transports built without an encoder factory use the default one
// given here. Pipelines are stopped on the factory's queue "app.quillory.media.teardown", which
// outlives every transport it made. Safe from any thread.
class GstPeerTransportFactory final : public PeerTransportFactory {
  public:
    explicit GstPeerTransportFactory(std::shared_ptr<VideoEncoderFactory> defaultEncoders);

    // Starts GStreamer; of the field trials, only the pacing delay has a counterpart in it.
    void setUp(const std::map<std::string, std::string>& fieldTrials) override;
    // None when GStreamer lacks an element the pipeline needs.
    std::shared_ptr<PeerTransport> createTransport(
        const PeerTransportConfiguration& configuration,
        std::shared_ptr<VideoEncoderFactory> encoderFactory,
        std::shared_ptr<PeerTransportDelegate> delegate) override;

  private:
    const std::shared_ptr<VideoEncoderFactory> defaultEncoders_;
    const std::shared_ptr<SerialQueue> teardown_;
    std::atomic<std::int64_t> pacingDelay_ = PacketPacer::defaultMaximumDelayNanoseconds;
};

}  // namespace quillory
