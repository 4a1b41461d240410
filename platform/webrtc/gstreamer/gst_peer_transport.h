#pragma once

#include <gst/gst.h>
#include <gst/webrtc/webrtc.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dispatch/sequence_checker.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/video/video_encoder.h"
#include "platform/webrtc/gstreamer/connection_liveness.h"
#include "platform/webrtc/gstreamer/gst_hooks.h"
#include "platform/webrtc/gstreamer/gst_probe_sender.h"
#include "platform/webrtc/gstreamer/gst_send_path.h"
#include "platform/webrtc/gstreamer/gst_sender_measurements.h"
#include "platform/webrtc/gstreamer/gst_video_source.h"
#include "platform/webrtc/gstreamer/ice_gathering_wait.h"
#include "platform/webrtc/gstreamer/packet_pacer.h"
#include "platform/webrtc/gstreamer/sdp_video_answer.h"
#include "platform/webrtc/peer_transport.h"
#include "platform/webrtc/peer_transport_factory.h"
#include "platform/webrtc/probing_configuration.h"

namespace quillory {

// A sending peer connection over webrtcbin: our encoder's access units enter through appsrc and
// rtph264pay; ICE gathers UDP host candidates on one pinned address.
//
// Threads: the owner calls the PeerTransport methods; webrtcbin's signals and promise replies
// arrive on GStreamer threads and go straight to the delegate, except connection states, which
// reach it from the transport's own queue "app.quillory.media.sender" in the order they were
// decided. The encoder is started, fed and released only on that queue, which also ends the
// gathering wait and runs the liveness watch; the methods that run there check it. `mutex_` guards
// the state the threads share; close() takes back every signal handler and pad probe, and none is
// added after it.
class GstPeerTransport final : public PeerTransport,
                               public std::enable_shared_from_this<GstPeerTransport> {
  public:
    static constexpr double gatheringTimeoutSeconds = 2.0;
    static constexpr double livenessCheckSeconds = 0.25;
    static constexpr std::uint64_t rtcpMinimumIntervalNanoseconds = 200'000'000;

    // None when an element is missing or the configuration asks for what this transport cannot
    // do (servers, TCP, DSCP marking, another bundle or mux policy).
    // `maximumBitrateBps` bounds the rate until the sender sets bounds of its own. Packets are
    // paced to leave within `pacingDelayNanoseconds` of their frame. With `probing` the sender
    // probes its estimate.
    static std::shared_ptr<GstPeerTransport> create(
        const PeerTransportConfiguration& configuration,
        std::shared_ptr<VideoEncoderFactory> encoderFactory,
        std::shared_ptr<PeerTransportDelegate> delegate, std::shared_ptr<SerialQueue> teardown,
        std::int64_t maximumBitrateBps,
        std::int64_t pacingDelayNanoseconds = PacketPacer::defaultMaximumDelayNanoseconds,
        std::optional<ProbingConfiguration> probing = std::nullopt);

    ~GstPeerTransport() override;

    std::shared_ptr<PeerVideoSource> addVideoTrack(const std::string& trackId,
                                                   VideoSourceFitter fitter) override;
    std::optional<RtpSendParameters> senderParameters() const override;
    bool setSenderParameters(const RtpSendParameters& parameters) override;
    void setBitrateBounds(const BitrateBounds& bounds) override;
    void createOffer(CreateDescriptionCompletion completion) override;
    void createAnswer(CreateDescriptionCompletion completion) override;
    void setLocalDescription(const SessionDescription& description,
                             SetDescriptionCompletion completion) override;
    void setRemoteDescription(const SessionDescription& description,
                              SetDescriptionCompletion completion) override;
    std::optional<SessionDescription> localDescription() const override;
    IceGatheringState iceGatheringState() const override;
    void requestStatistics(StatisticsCompletion completion) override;
    void close() override;

    struct Private {};
    GstPeerTransport(Private, std::shared_ptr<VideoEncoderFactory> encoderFactory,
                     std::shared_ptr<PeerTransportDelegate> delegate,
                     std::shared_ptr<SerialQueue> teardown, std::int64_t maximumBitrateBps,
                     std::int64_t pacingDelayNanoseconds,
                     std::optional<ProbingConfiguration> probing);

  private:
    bool build(const std::string& address);
    // The steps of addVideoTrack.
    bool makeSendElements();
    void watchKeyframeRequests();
    // Hands every RTP packet passing `pad` to the measurements' `Each` while the transport lives.
    template <void (GstSenderMeasurements::*Each)(GstBuffer*, std::int64_t)>
    void measurePackets(GstPad* pad);
    std::shared_ptr<PeerTransportDelegate> liveDelegate() const;
    void createDescription(const char* signal, const char* field, SessionDescription::Type type,
                           CreateDescriptionCompletion completion);
    using DescriptionApplied = void (GstPeerTransport::*)(const std::optional<SdpVideoAnswer>&,
                                                          SetDescriptionCompletion, std::string);
    void applyDescription(const char* signal, const SessionDescription& description,
                          SetDescriptionCompletion completion, DescriptionApplied applied);

    // GStreamer threads.
    // Once an answer chose the codec: the payloader's type and caps, the session's signals and
    // the send path's probes; the encoder starts on the queue.
    void configureSending(const SdpVideoAnswer& answer);
    void watchSession(GstElement* rtpbin);
    void probeSendPath();
    void localDescriptionApplied(const std::optional<SdpVideoAnswer>& answer,
                                 SetDescriptionCompletion completion, std::string error);
    void remoteDescriptionApplied(const std::optional<SdpVideoAnswer>& answer,
                                  SetDescriptionCompletion completion, std::string error);

    // The transport's queue.
    void connectionDelivered(PeerConnectionState state);

    const std::shared_ptr<SerialQueue> teardown_;
    std::shared_ptr<SerialQueue> queue_;
    std::vector<OfferedVideoCodec> offered_;
    IceGatheringWait gathering_;

    GstElement* pipeline_ = nullptr;
    GstElement* webrtc_ = nullptr;
    GstElement* appsrc_ = nullptr;
    GstElement* payloader_ = nullptr;
    std::uint32_t ssrc_ = 0;
    std::shared_ptr<ConnectionStateReporter> states_;

    mutable std::mutex mutex_;
    std::shared_ptr<PeerTransportDelegate> delegate_;
    bool closed_ = false;
    std::shared_ptr<GstVideoSource> source_;
    // The msid webrtcbin writes, and the one with our track id.
    std::pair<std::string, std::string> msid_;
    std::optional<RtpSendParameters> parameters_;
    GstSenderMeasurements measurements_;
    // Holds packets on the streaming threads that push them.
    const std::shared_ptr<PacingGate> pacing_;
    // Without probing the retransmission stream keeps the numbers its element gives it.
    const bool probing_;
    GstProbeSender probes_;
    GstSendPath sendPath_;
    GstHooks<GstPeerTransport> hooks_;
};

}  // namespace quillory
