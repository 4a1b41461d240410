#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/webrtc/peer_video_source.h"
#include "platform/webrtc/studio_statistics_report.h"

namespace quillory {

enum class PeerConnectionState { fresh, connecting, connected, disconnected, failed, closed };
enum class IceGatheringState { fresh, gathering, complete };

struct SessionDescription {
    enum class Type { offer, answer };
    Type type = Type::offer;
    std::string sdp;

    bool operator==(const SessionDescription&) const = default;
};

enum class NetworkPriority { veryLow, low, medium, high };
enum class DegradationPreference { disabled, maintainFramerate, maintainResolution, balanced };

struct RtpEncodingParameters {
    std::optional<std::int64_t> maxBitrateBps;
    std::optional<int> maxFramerate;
    NetworkPriority networkPriority = NetworkPriority::low;

    bool operator==(const RtpEncodingParameters&) const = default;
};

struct RtpSendParameters {
    std::vector<RtpEncodingParameters> encodings;
    std::optional<DegradationPreference> degradationPreference;

    bool operator==(const RtpSendParameters&) const = default;
};

// The bandwidth estimator's bounds; an absent value leaves that bound to the transport.
struct BitrateBounds {
    std::optional<std::int64_t> minimumBps;
    std::optional<std::int64_t> currentBps;
    std::optional<std::int64_t> maximumBps;

    bool operator==(const BitrateBounds&) const = default;
};

// A data channel the other side opened; the sender only ever closes it.
class PeerDataChannel {
  public:
    virtual ~PeerDataChannel() = default;
    virtual void close() = 0;
};

// A video track the other side sends; passed on unread.
class PeerRemoteVideoTrack {
  public:
    virtual ~PeerRemoteVideoTrack() = default;
    virtual std::string trackId() const = 0;
};

// Events of one transport. Called on any thread, never after the transport was closed; an
// implementation may still be inside a call when close() returns.
class PeerTransportDelegate {
  public:
    virtual ~PeerTransportDelegate() = default;
    virtual void iceGatheringStateChanged(IceGatheringState state) = 0;
    virtual void connectionStateChanged(PeerConnectionState state) = 0;
    virtual void dataChannelOpened(std::shared_ptr<PeerDataChannel> channel) = 0;
    virtual void remoteTrackAdded(std::shared_ptr<PeerRemoteVideoTrack> track) = 0;
    // The stream cannot go on (no encoder, say); the message is the user-facing sentence.
    virtual void transportFailed(const std::string& message) = 0;
};

// A created description, or the transport's reason for not creating one.
using CreateDescriptionCompletion =
    std::function<void(std::optional<SessionDescription> description, std::string error)>;
// Empty error: the description was applied.
using SetDescriptionCompletion = std::function<void(std::string error)>;
// A report, or none when the request was interrupted and no report will come.
using StatisticsCompletion = std::function<void(std::optional<StudioStatisticsReport> report)>;

// One peer connection with at most one send-only video track. Methods may be called from any
// one thread at a time (the owner's thread; requestStatistics from a queue of its own);
// completions run on any thread, each at most once, and not after close().
class PeerTransport {
  public:
    virtual ~PeerTransport() = default;

    // Adds the send-only video track and its sender; none when the transceiver cannot be made.
    virtual std::shared_ptr<PeerVideoSource> addVideoTrack(const std::string& trackId,
                                                           VideoSourceFitter fitter) = 0;

    // The sender's parameters; none before addVideoTrack succeeded.
    virtual std::optional<RtpSendParameters> senderParameters() const = 0;
    virtual bool setSenderParameters(const RtpSendParameters& parameters) = 0;
    virtual void setBitrateBounds(const BitrateBounds& bounds) = 0;

    virtual void createOffer(CreateDescriptionCompletion completion) = 0;
    virtual void createAnswer(CreateDescriptionCompletion completion) = 0;
    virtual void setLocalDescription(const SessionDescription& description,
                                     SetDescriptionCompletion completion) = 0;
    virtual void setRemoteDescription(const SessionDescription& description,
                                      SetDescriptionCompletion completion) = 0;
    // The applied local description, with every candidate gathered so far.
    virtual std::optional<SessionDescription> localDescription() const = 0;
    virtual IceGatheringState iceGatheringState() const = 0;

    virtual void requestStatistics(StatisticsCompletion completion) = 0;

    // Ends the connection and drops the delegate; idempotent.
    virtual void close() = 0;
};

}  // namespace quillory
