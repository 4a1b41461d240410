#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/video/video_encoder.h"
#include "platform/webrtc/peer_transport.h"

namespace quillory {

// What a transport is built with. The sender asks for every value explicitly, so that a transport
// refusing one of them can say so.
struct PeerTransportConfiguration {
    std::vector<std::string> iceServers;
    bool udpHostCandidatesOnly = true;
    bool maxBundle = true;
    bool requireRtcpMux = true;
    bool dscpMarking = false;
    bool gatherOnce = true;
    // The address candidates are gathered on (the link's local address).
    std::string localAddress;
};

// Makes transports. setUp runs once per process before the first transport, with the field
// trials; createTransport answers none when the connection cannot be made.
class PeerTransportFactory {
  public:
    virtual ~PeerTransportFactory() = default;

    virtual void setUp(const std::map<std::string, std::string>& fieldTrials) = 0;
    // Without an encoder factory the transport uses its own default encoders.
    virtual std::shared_ptr<PeerTransport> createTransport(
        const PeerTransportConfiguration& configuration,
        std::shared_ptr<VideoEncoderFactory> encoderFactory,
        std::shared_ptr<PeerTransportDelegate> delegate) = 0;
};

}  // namespace quillory
