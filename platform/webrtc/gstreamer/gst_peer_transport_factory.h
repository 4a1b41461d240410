#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/dispatch/serial_queue.h"
#include "platform/webrtc/gstreamer/packet_pacer.h"
#include "platform/webrtc/peer_transport_factory.h"
#include "platform/webrtc/probing_configuration.h"

namespace quillory {

// The largest sending rate of the field trial "WebRTC-PcFactoryDefaultBitrates" ("max:<n>bps");
// none when the trial is absent or does not read so.
std::optional<std::int64_t> factoryMaximumBitrateBps(
    const std::map<std::string, std::string>& fieldTrials);

// Makes webrtcbin transports. Transports built without an encoder factory use the default one
// given here. Pipelines are stopped on the factory's queue "app.quillory.media.teardown", which
// outlives every transport it made. Safe from any thread.
class GstPeerTransportFactory final : public PeerTransportFactory {
  public:
    explicit GstPeerTransportFactory(std::shared_ptr<VideoEncoderFactory> defaultEncoders);

    // Starts GStreamer. Of the field trials the pacing delay, the factory's maximum rate and the
    // probing configuration have a counterpart here; the maximum bounds every later transport
    // until its sender sets bounds; without it there is no bound.
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
    std::atomic<std::int64_t> maximumBitrateBps_;
    mutable std::mutex mutex_;
    std::optional<ProbingConfiguration> probing_;
};

}  // namespace quillory
