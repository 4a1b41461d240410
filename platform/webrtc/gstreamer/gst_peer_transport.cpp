#include "platform/webrtc/gstreamer/gst_peer_transport.h"

#include <gst/app/gstappsrc.h>
#include <gst/rtp/gstrtcpbuffer.h>
#include <gst/rtp/gstrtpbuffer.h>
#include <gst/rtp/gstrtphdrext.h>
#include <gst/sdp/sdp.h>
#include <gst/video/video-event.h>

#include <algorithm>
#include <charconv>
#include <random>

#include "platform/clock/clock.h"
#include "platform/log/logger.h"
#include "platform/webrtc/gstreamer/gathering_address.h"
#include "platform/webrtc/gstreamer/glib_handoff.h"
#include "platform/webrtc/gstreamer/gst_promise_callback.h"
#include "platform/webrtc/gstreamer/gst_statistics_report.h"
#include "platform/webrtc/gstreamer/gst_webrtc_setup.h"

namespace quillory {

namespace {

using WeakTransport = std::weak_ptr<GstPeerTransport>;

std::uint32_t randomSsrc() {
    std::random_device device;
    return static_cast<std::uint32_t>(device()) | 1u;
}

GstWebRTCSessionDescription* parseDescription(const SessionDescription& description) {
    return sessionDescription(description.sdp, description.type == SessionDescription::Type::offer
                                                   ? GST_WEBRTC_SDP_TYPE_OFFER
                                                   : GST_WEBRTC_SDP_TYPE_ANSWER);
}

// What an answer, ours or the other side's, chose of our codecs; an offer chooses nothing yet.
SdpVideoAnswerResult chosenCodec(const SessionDescription& description,
                                 const std::vector<OfferedVideoCodec>& offered) {
    if (description.type != SessionDescription::Type::answer) {
        return {};
    }
    return readSdpVideoAnswer(description.sdp, offered);
}

class GstDataChannel final : public PeerDataChannel {
  public:
    explicit GstDataChannel(GstWebRTCDataChannel* channel)
        : channel_(GST_WEBRTC_DATA_CHANNEL(g_object_ref(channel))) {}
    ~GstDataChannel() override { g_object_unref(channel_); }
    void close() override { gst_webrtc_data_channel_close(channel_); }

  private:
    GstWebRTCDataChannel* channel_;
};

WeakTransport weakOf(gpointer data) {
    return fromGlib<WeakTransport>(data);
}

// Each RTP packet of a buffer or buffer-list probe.
template <typename Each>
void forEachPacket(GstPadProbeInfo* info, Each each) {
    if ((info->type & GST_PAD_PROBE_TYPE_BUFFER) != 0) {
        each(GST_PAD_PROBE_INFO_BUFFER(info));
    } else if (GstBufferList* list = GST_PAD_PROBE_INFO_BUFFER_LIST(info)) {
        const guint count = gst_buffer_list_length(list);
        for (guint index = 0; index < count; ++index) {
            each(gst_buffer_list_get(list, index));
        }
    }
}

// The caps our access units enter with, as the answer chose them.
GstCaps* sourceCaps(const OfferedVideoCodec& offered) {
    GstCaps* caps = gst_caps_new_simple("video/x-h264", "stream-format", G_TYPE_STRING,
                                        "byte-stream", "alignment", G_TYPE_STRING, "au", nullptr);
    const auto profileLevel = offered.codec.parameters.find("profile-level-id");
    if (profileLevel == offered.codec.parameters.end()) {
        return caps;
    }
    std::optional<H264ProfileLevel> named = h264ProfileLevel(profileLevel->second);
    if (!named) {
        return caps;
    }
    // Without a level the payloader's negotiation ends not-negotiated; its list of levels ends
    // at 5.1, so a higher one is stated as 5.1.
    if (named->level == "5.2" || named->level.starts_with("6")) {
        named->level = "5.1";
    }
    gst_caps_set_simple(caps, "profile", G_TYPE_STRING, named->profile.c_str(), "level",
                        G_TYPE_STRING, named->level.c_str(), nullptr);
    return caps;
}

// Links appsrc through the payloader into a new sink pad of webrtcbin; the pad's transceiver,
// or none when linking failed.
GstWebRTCRTPTransceiver* linkTransceiver(GstElement* webrtc, GstElement* appsrc,
                                         GstElement* payloader, const std::string& trackId) {
    // Requested before any transceiver exists, so the pad feeds the transceiver configured next
    // rather than a second one; without caps, so both codec entries reach the offer.
    GstPad* sink = gst_element_request_pad_simple(webrtc, "sink_%u");
    GstPad* payloaded = gst_element_get_static_pad(payloader, "src");
    const bool linked = sink != nullptr && gst_element_link(appsrc, payloader) &&
                        gst_pad_link(payloaded, sink) == GST_PAD_LINK_OK;
    gst_object_unref(payloaded);
    GstWebRTCRTPTransceiver* transceiver = nullptr;
    if (linked) {
        g_object_get(sink, "transceiver", &transceiver, nullptr);
        g_object_set(sink, "msid", trackId.c_str(), nullptr);
    }
    if (sink != nullptr) {
        gst_object_unref(sink);
    }
    return transceiver;
}

// Makes the transceiver send only our codecs; the msid webrtcbin will write, and the one with
// our track id.
std::pair<std::string, std::string> sendOnly(GstWebRTCRTPTransceiver* transceiver,
                                             const std::string& trackId,
                                             const std::vector<OfferedVideoCodec>& offered,
                                             std::uint32_t ssrc) {
    // webrtcbin names the track in the msid after the transceiver, which cannot be renamed.
    gchar* transceiverName = gst_object_get_name(GST_OBJECT(transceiver));
    std::pair<std::string, std::string> msid{"msid:" + trackId + " " + transceiverName,
                                             "msid:" + trackId + " " + trackId};
    g_free(transceiverName);
    GstCaps* preferences = codecPreferences(offered, ssrc);
    g_object_set(transceiver, "direction", GST_WEBRTC_RTP_TRANSCEIVER_DIRECTION_SENDONLY, "do-nack",
                 TRUE, "codec-preferences", preferences, nullptr);
    gst_caps_unref(preferences);
    return msid;
}

// Blocks until the packet may leave; holds no reference to the transport meanwhile. Probes keep
// their own time and never wait for media.
void pace(PacingGate& gate, std::uint32_t mediaSsrc, GstBuffer* buffer) {
    GstRTPBuffer rtp = GST_RTP_BUFFER_INIT;
    if (!gst_rtp_buffer_map(buffer, GST_MAP_READ, &rtp)) {
        return;
    }
    const std::uint32_t ssrc = gst_rtp_buffer_get_ssrc(&rtp);
    const std::uint32_t timestamp = gst_rtp_buffer_get_timestamp(&rtp);
    const bool marker = gst_rtp_buffer_get_marker(&rtp) != FALSE;
    const bool padding = gst_rtp_buffer_get_padding(&rtp) != FALSE;
    gst_rtp_buffer_unmap(&rtp);
    const std::size_t size = gst_buffer_get_size(buffer);
    if (ssrc == mediaSsrc) {
        gate.passMedia(size, timestamp, marker);
    } else if (!padding) {
        gate.passRetransmission(size);
    }
}

std::int64_t now() {
    return static_cast<std::int64_t>(uptimeNanoseconds());
}

// The SSRC the description pairs with `ssrc` as its retransmission stream
// ("a=ssrc-group:FID <ssrc> <retransmission ssrc>").
std::optional<std::uint32_t> retransmissionSsrc(const std::string& sdp, std::uint32_t ssrc) {
    const std::string group = "a=ssrc-group:FID " + std::to_string(ssrc) + " ";
    const std::size_t at = sdp.find(group);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const char* first = sdp.data() + at + group.size();
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(first, sdp.data() + sdp.size(), value);
    if (error != std::errc() || end == first) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::shared_ptr<GstPeerTransport> GstPeerTransport::create(
    const PeerTransportConfiguration& configuration,
    std::shared_ptr<VideoEncoderFactory> encoderFactory,
    std::shared_ptr<PeerTransportDelegate> delegate, std::shared_ptr<SerialQueue> teardown,
    std::int64_t maximumBitrateBps, std::int64_t pacingDelayNanoseconds,
    std::optional<ProbingConfiguration> probing) {
    if (!configuration.iceServers.empty() || !configuration.udpHostCandidatesOnly ||
        !configuration.maxBundle || !configuration.requireRtcpMux || configuration.dscpMarking ||
        !configuration.gatherOnce || !encoderFactory) {
        return nullptr;
    }
    const std::optional<std::string> address = gatheringAddress(configuration.localAddress);
    if (!address) {
        return nullptr;
    }
    auto transport = std::make_shared<GstPeerTransport>(
        Private{}, std::move(encoderFactory), std::move(delegate), std::move(teardown),
        maximumBitrateBps, pacingDelayNanoseconds, std::move(probing));
    transport->sendPath_.bind(std::shared_ptr<GstSendPath>(transport, &transport->sendPath_));
    transport->probes_.bind(std::shared_ptr<GstProbeSender>(transport, &transport->probes_));
    if (!transport->build(*address)) {
        transport->close();
        return nullptr;
    }
    return transport;
}

GstPeerTransport::GstPeerTransport(Private, std::shared_ptr<VideoEncoderFactory> encoderFactory,
                                   std::shared_ptr<PeerTransportDelegate> delegate,
                                   std::shared_ptr<SerialQueue> teardown,
                                   std::int64_t maximumBitrateBps,
                                   std::int64_t pacingDelayNanoseconds,
                                   std::optional<ProbingConfiguration> probing)
    : teardown_(std::move(teardown)),
      queue_(std::make_shared<SerialQueue>("app.quillory.media.sender")),
      offered_(offeredVideoCodecs(encoderFactory->supportedCodecs())),
      gathering_(*queue_),
      delegate_(std::move(delegate)),
      pacing_(std::make_shared<PacingGate>(
          pacingDelayNanoseconds, static_cast<double>(GstSendPath::defaultBitrateBps), &now)),
      probing_(probing.has_value()),
      // The send path lives inside the transport and reports only while the transport runs it.
      probes_(*queue_, *pacing_),
      sendPath_(*queue_, std::move(encoderFactory), measurements_, *pacing_, probes_,
                maximumBitrateBps, std::move(probing), [this](const std::string& message) {
                    if (auto live = liveDelegate()) {
                        live->transportFailed(message);
                    }
                }) {}

GstPeerTransport::~GstPeerTransport() {
    close();
    // The queue may be running the task that dropped the last reference: join it elsewhere. An
    // encoder still here had no chance to be released on the queue, and nothing else uses it now.
    teardown_->async(
        [queue = std::move(queue_), encoder = sendPath_.takeEncoder(), pipeline = pipeline_] {
            if (encoder) {
                encoder->releaseEncoder();
            }
            if (pipeline != nullptr) {
                gst_object_unref(pipeline);
            }
        });
}

template <void (GstSenderMeasurements::*Each)(GstBuffer*, std::int64_t)>
void GstPeerTransport::measurePackets(GstPad* pad) {
    hooks_.probe(
        pad,
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
            if (auto self = weakOf(data).lock()) {
                forEachPacket(info, [&self](GstBuffer* buffer) {
                    (self->measurements_.*Each)(buffer, now());
                });
            }
            return GST_PAD_PROBE_OK;
        },
        weak_from_this());
}

bool GstPeerTransport::build(const std::string& address) {
    if (offered_.empty()) {
        return false;
    }
    pipeline_ = gst_pipeline_new(nullptr);
    webrtc_ = gst_element_factory_make("webrtcbin", nullptr);
    if (pipeline_ == nullptr || webrtc_ == nullptr) {
        if (webrtc_ != nullptr) {
            gst_object_unref(webrtc_);
            webrtc_ = nullptr;
        }
        return false;
    }
    gst_object_ref_sink(pipeline_);
    gst_bin_add(GST_BIN(pipeline_), webrtc_);
    states_ = ConnectionStateReporter::create(
        [weak = weak_from_this()](std::function<void()> work) {
            if (auto self = weak.lock()) {
                self->queue_->async(std::move(work));
            }
        },
        [weak = weak_from_this()](PeerConnectionState state) {
            if (auto self = weak.lock()) {
                self->connectionDelivered(state);
            }
        });
    gst_util_set_object_arg(G_OBJECT(webrtc_), "bundle-policy", "max-bundle");
    if (!pinGathering(webrtc_, address)) {
        return false;
    }

    gathering_.watch(webrtc_, std::shared_ptr<IceGatheringWait>(shared_from_this(), &gathering_));
    hooks_.connect(G_OBJECT(webrtc_), "notify::connection-state",
                   G_CALLBACK(+[](GstElement* webrtc, GParamSpec*, gpointer data) {
                       if (auto self = weakOf(data).lock()) {
                           GstWebRTCPeerConnectionState state =
                               GST_WEBRTC_PEER_CONNECTION_STATE_NEW;
                           g_object_get(webrtc, "connection-state", &state, nullptr);
                           self->states_->webrtcChanged(peerConnectionState(state), now());
                       }
                   }),
                   weak_from_this());
    hooks_.connect(G_OBJECT(webrtc_), "on-data-channel",
                   G_CALLBACK(+[](GstElement*, GObject* channel, gpointer data) {
                       auto self = weakOf(data).lock();
                       if (auto delegate = self ? self->liveDelegate() : nullptr) {
                           delegate->dataChannelOpened(
                               std::make_shared<GstDataChannel>(GST_WEBRTC_DATA_CHANNEL(channel)));
                       }
                   }),
                   weak_from_this());
    return gst_element_set_state(pipeline_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

std::shared_ptr<PeerTransportDelegate> GstPeerTransport::liveDelegate() const {
    std::lock_guard lock(mutex_);
    return closed_ ? nullptr : delegate_;
}

std::shared_ptr<PeerVideoSource> GstPeerTransport::addVideoTrack(const std::string& trackId,
                                                                 VideoSourceFitter fitter) {
    {
        std::lock_guard lock(mutex_);
        if (closed_ || source_ || pipeline_ == nullptr) {
            return nullptr;
        }
    }
    if (!makeSendElements()) {
        return nullptr;
    }
    sendPath_.setElements(pipeline_, appsrc_);
    GstWebRTCRTPTransceiver* transceiver = linkTransceiver(webrtc_, appsrc_, payloader_, trackId);
    if (transceiver == nullptr) {
        return nullptr;
    }
    std::pair<std::string, std::string> msid = sendOnly(transceiver, trackId, offered_, ssrc_);
    gst_object_unref(transceiver);
    watchKeyframeRequests();
    gst_element_sync_state_with_parent(payloader_);
    gst_element_sync_state_with_parent(appsrc_);

    auto videoSource = std::make_shared<GstVideoSource>(
        std::move(fitter), [weak = weak_from_this()](VideoFrame frame, int maximumRate) {
            if (auto self = weak.lock()) {
                self->sendPath_.frameArrived(std::move(frame), maximumRate);
            }
        });
    std::lock_guard lock(mutex_);
    msid_ = std::move(msid);
    source_ = videoSource;
    parameters_ = RtpSendParameters{.encodings = {RtpEncodingParameters{}}};
    return videoSource;
}

bool GstPeerTransport::makeSendElements() {
    appsrc_ = gst_element_factory_make("appsrc", nullptr);
    payloader_ = gst_element_factory_make("rtph264pay", nullptr);
    GstElement* extension = gst_element_factory_make("rtphdrexttwcc", nullptr);
    if (appsrc_ == nullptr || payloader_ == nullptr || extension == nullptr) {
        for (GstElement* element : {appsrc_, payloader_, extension}) {
            if (element != nullptr) {
                gst_object_unref(element);
            }
        }
        appsrc_ = payloader_ = nullptr;
        return false;
    }
    g_object_set(appsrc_, "is-live", TRUE, "format", GST_FORMAT_TIME, "do-timestamp", FALSE,
                 "max-buffers", guint64{16}, "block", FALSE, nullptr);
    gst_util_set_object_arg(G_OBJECT(appsrc_), "leaky-type", "upstream");
    ssrc_ = randomSsrc();
    measurements_.setMediaSsrc(ssrc_);
    g_object_set(payloader_, "config-interval", -1, "mtu", 1200u, "pt", 96u, "ssrc", ssrc_,
                 "timestamp-offset", 0u, nullptr);
    gst_util_set_object_arg(G_OBJECT(payloader_), "aggregate-mode", "zero-latency");
    gst_rtp_header_extension_set_id(GST_RTP_HEADER_EXTENSION(extension), twccExtensionId);
    g_signal_emit_by_name(payloader_, "add-extension", extension);
    gst_object_unref(extension);
    gst_bin_add_many(GST_BIN(pipeline_), appsrc_, payloader_, nullptr);
    return true;
}

void GstPeerTransport::watchKeyframeRequests() {
    GstPad* source = gst_element_get_static_pad(appsrc_, "src");
    hooks_.probe(
        source, GST_PAD_PROBE_TYPE_EVENT_UPSTREAM,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
            GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
            if (gst_video_event_is_force_key_unit(event)) {
                gboolean allHeaders = FALSE;
                gst_video_event_parse_upstream_force_key_unit(event, nullptr, &allHeaders, nullptr);
                if (auto self = weakOf(data).lock()) {
                    self->sendPath_.keyframeRequested(allHeaders != FALSE);
                }
                return GST_PAD_PROBE_DROP;
            }
            return GST_PAD_PROBE_OK;
        },
        weak_from_this());
    gst_object_unref(source);
}

void GstPeerTransport::setBitrateBounds(const BitrateBounds& bounds) {
    sendPath_.setBitrateBounds(bounds);
}

std::optional<RtpSendParameters> GstPeerTransport::senderParameters() const {
    std::lock_guard lock(mutex_);
    return parameters_;
}

bool GstPeerTransport::setSenderParameters(const RtpSendParameters& parameters) {
    // The network priority is kept but never applied: webrtcbin turns DSCP marking on with it.
    {
        std::lock_guard lock(mutex_);
        if (!parameters_ || closed_) {
            return false;
        }
        parameters_ = parameters;
        sendPath_.setBitrateCap(parameters.encodings.empty()
                                    ? std::nullopt
                                    : parameters.encodings.front().maxBitrateBps);
    }
    sendPath_.setBitrateBounds({});
    return true;
}

void GstPeerTransport::createDescription(const char* signal, const char* field,
                                         SessionDescription::Type type,
                                         CreateDescriptionCompletion completion) {
    GstPromise* promise =
        makePromise([weak = weak_from_this(), field, type, completion = std::move(completion)](
                        bool replied, const GstStructure* reply) {
            auto self = weak.lock();
            if (!self || !self->liveDelegate()) {
                return;
            }
            std::string error = promiseError(replied, reply);
            GstWebRTCSessionDescription* description = nullptr;
            if (error.empty() && reply != nullptr) {
                gst_structure_get(reply, field, GST_TYPE_WEBRTC_SESSION_DESCRIPTION, &description,
                                  nullptr);
            }
            if (description == nullptr) {
                completion(std::nullopt, error.empty() ? "no description" : error);
                return;
            }
            gchar* text = gst_sdp_message_as_text(description->sdp);
            SessionDescription created{type, text != nullptr ? text : ""};
            g_free(text);
            {
                std::lock_guard lock(self->mutex_);
                const auto& [from, to] = self->msid_;
                for (std::size_t at = from.empty() ? std::string::npos : created.sdp.find(from);
                     at != std::string::npos; at = created.sdp.find(from, at + to.size())) {
                    created.sdp.replace(at, from.size(), to);
                }
            }
            gst_webrtc_session_description_free(description);
            completion(std::move(created), {});
        });
    g_signal_emit_by_name(webrtc_, signal, nullptr, promise);
    gst_promise_unref(promise);
}

void GstPeerTransport::createOffer(CreateDescriptionCompletion completion) {
    createDescription("create-offer", "offer", SessionDescription::Type::offer,
                      std::move(completion));
}

void GstPeerTransport::createAnswer(CreateDescriptionCompletion completion) {
    createDescription("create-answer", "answer", SessionDescription::Type::answer,
                      std::move(completion));
}

void GstPeerTransport::setLocalDescription(const SessionDescription& description,
                                           SetDescriptionCompletion completion) {
    // Answering an offer, our own answer says what is sent.
    applyDescription("set-local-description", description, std::move(completion),
                     &GstPeerTransport::localDescriptionApplied);
}

void GstPeerTransport::applyDescription(const char* signal, const SessionDescription& description,
                                        SetDescriptionCompletion completion,
                                        DescriptionApplied applied) {
    SdpVideoAnswerResult chosen = chosenCodec(description, offered_);
    if (!chosen.error.empty()) {
        completion(chosen.error);
        return;
    }
    GstWebRTCSessionDescription* parsed = parseDescription(description);
    if (parsed == nullptr) {
        completion("the description is not SDP");
        return;
    }
    GstPromise* promise = makePromise(
        [weak = weak_from_this(), applied, answer = std::move(chosen.answer),
         completion = std::move(completion)](bool replied, const GstStructure* reply) mutable {
            if (auto self = weak.lock()) {
                ((*self).*applied)(answer, std::move(completion), promiseError(replied, reply));
            }
        });
    g_signal_emit_by_name(webrtc_, signal, parsed, promise);
    gst_promise_unref(promise);
    gst_webrtc_session_description_free(parsed);
}

void GstPeerTransport::localDescriptionApplied(const std::optional<SdpVideoAnswer>& answer,
                                               SetDescriptionCompletion completion,
                                               std::string error) {
    if (!liveDelegate()) {
        return;
    }
    if (!error.empty()) {
        completion(error);
        return;
    }
    if (answer) {
        configureSending(*answer);
    }
    // The description is handed over complete, or with what was gathered by the deadline.
    gathering_.start(gatheringTimeoutSeconds,
                     [weak = weak_from_this(), completion = std::move(completion)] {
                         auto self = weak.lock();
                         if (!self) {
                             return;
                         }
                         QUILLORY_CHECK_ON(*self->queue_);
                         // Without a candidate the description was still applied, but gathering
                         // never completes: a description no tablet can reach is not handed over,
                         // and the connect timeout tells.
                         const std::optional<std::string> local =
                             descriptionText(self->webrtc_, "local-description");
                         if (!local || local->find("a=candidate:") == std::string::npos) {
                             completion({});
                             return;
                         }
                         self->gathering_.gathered();
                         completion({});
                         if (auto delegate = self->liveDelegate()) {
                             delegate->iceGatheringStateChanged(IceGatheringState::complete);
                         }
                     });
}

void GstPeerTransport::setRemoteDescription(const SessionDescription& description,
                                            SetDescriptionCompletion completion) {
    applyDescription("set-remote-description", description, std::move(completion),
                     &GstPeerTransport::remoteDescriptionApplied);
}

void GstPeerTransport::remoteDescriptionApplied(const std::optional<SdpVideoAnswer>& answer,
                                                SetDescriptionCompletion completion,
                                                std::string error) {
    if (!liveDelegate()) {
        return;
    }
    if (error.empty() && answer) {
        configureSending(*answer);
    }
    completion(error);
}

void GstPeerTransport::configureSending(const SdpVideoAnswer& answer) {
    if (payloader_ != nullptr && appsrc_ != nullptr) {
        g_object_set(payloader_, "pt", static_cast<guint>(answer.offered.payloadType), nullptr);
        GstCaps* caps = sourceCaps(answer.offered);
        gst_app_src_set_caps(GST_APP_SRC(appsrc_), caps);
        gst_caps_unref(caps);
    }
    // Liveness and the send delay need the elements negotiation made.
    if (GstElement* rtpbin = gst_bin_get_by_name(GST_BIN(webrtc_), "rtpbin")) {
        watchSession(rtpbin);
        gst_object_unref(rtpbin);
    }
    probeSendPath();
    // A close that came first leaves nothing to start; one that comes later is queued behind
    // and releases what starts here.
    queue_->async([weak = weak_from_this(), codec = answer.answered,
                   transportFeedback = answer.transportFeedback] {
        auto self = weak.lock();
        if (self && self->liveDelegate() && self->sendPath_.start(codec, transportFeedback)) {
            self->states_->watch(*self->queue_, livenessCheckSeconds);
        }
    });
}

void GstPeerTransport::watchSession(GstElement* rtpbin) {
    GObject* session = nullptr;
    g_signal_emit_by_name(rtpbin, "get-internal-session", 0u, &session);
    if (session != nullptr) {
        g_object_set(session, "rtcp-min-interval", rtcpMinimumIntervalNanoseconds, nullptr);
        // Every packet is a sign of life, reports and feedback alike: with a still screen the
        // other side's reports are all there is. Its receiver reports also carry the loss.
        hooks_.connect(session, "on-receiving-rtcp",
                       G_CALLBACK(+[](GObject*, GstBuffer* buffer, gpointer data) {
                           if (auto self = weakOf(data).lock()) {
                               self->states_->rtcpArrived(now());
                               self->sendPath_.feedbackArrived(
                                   self->measurements_.receiverReport(buffer, now()), true);
                           }
                       }),
                       weak_from_this());
        // The statistics' own loss misses packets the receiver never reported; the feedback
        // itself says which numbers it moved past.
        hooks_.connect(
            session, "on-feedback-rtcp",
            G_CALLBACK(+[](GObject*, guint type, guint fbtype, guint, guint, GstBuffer* fci,
                           gpointer data) {
                if (type != GST_RTCP_TYPE_RTPFB || fbtype != GST_RTCP_RTPFB_TYPE_TWCC ||
                    fci == nullptr) {
                    return;
                }
                if (auto self = weakOf(data).lock()) {
                    self->sendPath_.probesMeasured(self->measurements_.feedbackReceived(fci));
                }
            }),
            weak_from_this());
        g_object_unref(session);
    }
    // The element around the session publishes the transport-wide feedback statistics.
    GstElement* element = nullptr;
    g_signal_emit_by_name(rtpbin, "get-session", 0u, &element);
    if (element != nullptr) {
        hooks_.connect(G_OBJECT(element), "notify::twcc-stats",
                       G_CALLBACK(+[](GObject* object, GParamSpec*, gpointer data) {
                           if (auto self = weakOf(data).lock()) {
                               self->sendPath_.feedbackArrived(
                                   self->measurements_.feedbackStatistics(object, now()), false);
                           }
                       }),
                       weak_from_this());
        gst_object_unref(element);
    }
}

void GstPeerTransport::probeSendPath() {
    // A frame's send delay counts from when the packetizer emitted it: each packet is looked at,
    // but only a frame's first counts.
    GstPad* packetized = gst_element_get_static_pad(payloader_, "src");
    measurePackets<&GstSenderMeasurements::packetized>(packetized);
    gst_object_unref(packetized);
    // Paced where retransmissions join the media, before the session stamps their send times;
    // without a retransmission element, the media alone.
    GstElement* joined = findInside(webrtc_, "rtprtxsend");
    GstPad* paced = gst_element_get_static_pad(joined != nullptr ? joined : payloader_, "src");
    if (paced != nullptr) {
        hooks_.probe(
            paced,
            static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                         GST_PAD_PROBE_TYPE_BUFFER_LIST),
            [](GstPad*, GstPadProbeInfo* info, gpointer data) {
                std::shared_ptr<PacingGate> gate;
                std::uint32_t ssrc = 0;
                if (auto self = weakOf(data).lock()) {
                    gate = self->pacing_;
                    ssrc = self->ssrc_;
                    // Retransmissions and probes share the stream's numbers; both come as
                    // single buffers.
                    if (self->probing_ && (info->type & GST_PAD_PROBE_TYPE_BUFFER) != 0) {
                        GST_PAD_PROBE_INFO_DATA(info) =
                            self->probes_.renumber(GST_PAD_PROBE_INFO_BUFFER(info), ssrc);
                    }
                } else {
                    return GST_PAD_PROBE_OK;
                }
                forEachPacket(info, [&](GstBuffer* buffer) { pace(*gate, ssrc, buffer); });
                return GST_PAD_PROBE_OK;
            },
            weak_from_this());
        // Probes join where retransmissions do, on their stream.
        const auto local = descriptionText(webrtc_, "local-description");
        const auto retransmissions = local ? retransmissionSsrc(*local, ssrc_) : std::nullopt;
        if (probing_ && joined != nullptr && retransmissions) {
            guint payloadType = 0;
            g_object_get(payloader_, "pt", &payloadType, nullptr);
            probes_.setStream(joined, paced, *retransmissions, static_cast<int>(payloadType));
        } else if (probing_) {
            static const Logger logger("webrtc", "probe");
            logger.info(
                "The sender does not probe: the answer negotiated no retransmission "
                "stream to carry probes.");
        }
        gst_object_unref(paced);
    }
    if (joined != nullptr) {
        gst_object_unref(joined);
    }
    if (GstElement* sink = findInside(webrtc_, "nicesink")) {
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        measurePackets<&GstSenderMeasurements::packetLeft>(pad);
        gst_object_unref(pad);
        gst_object_unref(sink);
    }
}

void GstPeerTransport::connectionDelivered(PeerConnectionState state) {
    QUILLORY_CHECK_ON(*queue_);
    auto delegate = liveDelegate();
    if (!delegate) {
        return;
    }
    sendPath_.connectionChanged(state == PeerConnectionState::connected);
    delegate->connectionStateChanged(state);
}

std::optional<SessionDescription> GstPeerTransport::localDescription() const {
    if (!liveDelegate()) {
        return std::nullopt;
    }
    std::optional<std::string> text = descriptionText(webrtc_, "local-description");
    if (!text) {
        return std::nullopt;
    }
    GstWebRTCSessionDescription* description = nullptr;
    g_object_get(webrtc_, "local-description", &description, nullptr);
    SessionDescription::Type type = SessionDescription::Type::offer;
    if (description != nullptr) {
        if (description->type == GST_WEBRTC_SDP_TYPE_ANSWER) {
            type = SessionDescription::Type::answer;
        }
        gst_webrtc_session_description_free(description);
    }
    return SessionDescription{type, std::move(*text)};
}

IceGatheringState GstPeerTransport::iceGatheringState() const {
    return gathering_.state();
}

void GstPeerTransport::requestStatistics(StatisticsCompletion completion) {
    if (!liveDelegate()) {
        return;
    }
    GstPromise* promise = makePromise([weak = weak_from_this(), completion = std::move(completion)](
                                          bool replied, const GstStructure* reply) {
        auto self = weak.lock();
        if (!self || !self->liveDelegate()) {
            return;
        }
        if (!replied || reply == nullptr) {
            completion(std::nullopt);
            return;
        }
        completion(self->measurements_.complete(statisticsReportFromGst(reply)));
    });
    g_signal_emit_by_name(webrtc_, "get-stats", nullptr, promise);
    gst_promise_unref(promise);
}

void GstPeerTransport::close() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        closed_ = true;
        delegate_.reset();
    }
    gathering_.close();
    pacing_->close();
    hooks_.close();
    queue_->async([weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            if (self->states_) {
                self->states_->stopWatching();
            }
            self->sendPath_.close();
        }
    });
    if (pipeline_ != nullptr) {
        // Stopping webrtcbin waits for its threads; not on the caller's thread.
        // The pipeline itself stays until the destructor: callbacks in flight may still read it.
        teardown_->async([pipeline = GST_ELEMENT(gst_object_ref(pipeline_))] {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
        });
    }
}

}  // namespace quillory
