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
#include "platform/video/h264_bitstream_reader.h"
#include "platform/video/video_encoder.h"
#include "platform/webrtc/bandwidth_estimator.h"
#include "platform/webrtc/gstreamer/connection_liveness.h"
#include "platform/webrtc/gstreamer/gst_sender_measurements.h"
#include "platform/webrtc/gstreamer/gst_video_source.h"
#include "platform/webrtc/gstreamer/ice_gathering_wait.h"
#include "platform/webrtc/gstreamer/keyframe_request_limiter.h"
#include "platform/webrtc/gstreamer/packet_pacer.h"
#include "platform/webrtc/gstreamer/sdp_video_answer.h"
#include "platform/webrtc/peer_transport.h"
#include "platform/webrtc/peer_transport_factory.h"

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
    // paced to leave within `pacingDelayNanoseconds` of their frame.
    static std::shared_ptr<GstPeerTransport> create(
        const PeerTransportConfiguration& configuration,
        std::shared_ptr<VideoEncoderFactory> encoderFactory,
        std::shared_ptr<PeerTransportDelegate> delegate, std::shared_ptr<SerialQueue> teardown,
        std::int64_t maximumBitrateBps,
        std::int64_t pacingDelayNanoseconds = PacketPacer::defaultMaximumDelayNanoseconds);

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
    GstPeerTransport(Private, PeerTransportConfiguration configuration,
                     std::shared_ptr<VideoEncoderFactory> encoderFactory,
                     std::shared_ptr<PeerTransportDelegate> delegate,
                     std::shared_ptr<SerialQueue> teardown, std::int64_t maximumBitrateBps);

  private:
    static constexpr const char* encoderFailed = "Could not start the video encoder.";
    static constexpr std::int64_t defaultBitrateBps = 2'000'000;
    static constexpr int defaultFramesPerSecond = 60;
    static std::int64_t now();

    bool build(const std::string& address);
    // The steps of addVideoTrack.
    bool makeSendElements();
    void watchKeyframeRequests();
    std::shared_ptr<GstVideoSource> makeVideoSource(VideoSourceFitter fitter);
    // Both do nothing once closed; close() takes back what they added.
    void connect(GObject* object, const char* signal, GCallback handler);
    void probe(GstPad* pad, GstPadProbeType type, GstPadProbeCallback callback);
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
    void connectionChanged();
    void dataChannelOpened(GObject* channel);
    void localDescriptionApplied(const std::optional<SdpVideoAnswer>& answer,
                                 SetDescriptionCompletion completion, std::string error);
    void remoteDescriptionApplied(const std::optional<SdpVideoAnswer>& answer,
                                  SetDescriptionCompletion completion, std::string error);
    void keyframeRequested(bool fullIntraRequest);
    void rtcpArrived();
    // Takes a window to the estimate on the queue; one from a receiver report only while no
    // transport-wide feedback is negotiated.
    void feedbackArrived(std::optional<BandwidthFeedbackWindow> window, bool receiverReport);
    std::optional<std::int64_t> bitrateCap() const;  // the sender's own, if it set one

    // The transport's queue.
    void gatheringFinished(const SetDescriptionCompletion& completion);
    void startSending(const VideoCodecInfo& codec, bool transportFeedback);
    void watchLiveness();
    void connectionDelivered(PeerConnectionState state);
    void encodeFrame(VideoFrame frame, int maximumFramesPerSecond);
    bool startEncoder(const VideoFrame& frame, int maximumFramesPerSecond);
    void repeatForKeyframe();
    void failStream(const std::string& message);
    void estimateArrived(const BandwidthFeedbackWindow& window);
    void applyEncoderRate();

    // The encoder's callback: on the queue, or on the encoder's own queue when it has one.
    void imageEncoded(const EncodedImage& image);

    const PeerTransportConfiguration configuration_;
    const std::shared_ptr<VideoEncoderFactory> encoderFactory_;
    const std::shared_ptr<SerialQueue> teardown_;
    const std::int64_t maximumBitrateBps_;
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
    std::vector<std::pair<GObject*, gulong>> handlers_;
    std::vector<std::pair<GstPad*, gulong>> probes_;
    std::shared_ptr<PeerTransportDelegate> delegate_;
    bool closed_ = false;
    std::shared_ptr<GstVideoSource> source_;
    // The msid webrtcbin writes, and the one with our track id.
    std::pair<std::string, std::string> msid_;
    std::optional<RtpSendParameters> parameters_;
    std::atomic<int> framesQueued_ = 0;
    GstSenderMeasurements measurements_;
    // Set by create(); holds packets on the streaming threads that push them.
    std::shared_ptr<PacingGate> pacing_;

    // Queue state.
    std::shared_ptr<VideoEncoder> encoder_;
    int encoderWidth_ = 0;
    int encoderHeight_ = 0;
    int encoderRate_ = 0;
    std::uint32_t encoderBitrateKbps_ = 0;
    BandwidthEstimator estimator_{defaultBitrateBps, maximumBitrateBps_};
    bool estimated_ = false;  // the estimate has taken feedback or a receiver report
    bool connected_ = false;
    bool keyframeNext_ = true;
    bool failed_ = false;
    bool transportFeedback_ = false;
    KeyframeRequestLimiter keyframes_;
    // The last frame sent to the encoder and its rate: a still screen sends no new one, so a
    // keyframe request sends it again.
    std::optional<std::pair<VideoFrame, int>> lastFrame_;
    Timer keyframeRepeat_;
    // Encoded images arrive on one sequence, which owns the reader.
    SequenceChecker encoding_;
    H264StreamReader reader_;
    Timer livenessTimer_;
};

}  // namespace quillory
