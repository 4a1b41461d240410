#include "platform/webrtc/gstreamer/video_receiver.h"

#include <gst/sdp/sdp.h>
#include <gst/video/video.h>
#include <gst/webrtc/webrtc.h>

#include <cstring>
#include <utility>

#include "platform/clock/clock.h"
#include "platform/webrtc/gstreamer/gathering_address.h"
#include "platform/webrtc/gstreamer/glib_handoff.h"
#include "platform/webrtc/gstreamer/gst_promise_callback.h"
#include "platform/webrtc/gstreamer/gst_statistics_report.h"
#include "platform/webrtc/gstreamer/gst_webrtc_setup.h"

namespace quillory {

namespace {

using WeakReceiver = std::weak_ptr<VideoReceiver>;

WeakReceiver weakOf(gpointer data) {
    return fromGlib<WeakReceiver>(data);
}

gpointer newWeak(const WeakReceiver& weak) {
    return handedToGlib(new WeakReceiver(weak));
}

void deleteWeak(gpointer data) {
    deleteFromGlib<WeakReceiver>(data);
}

struct DecodeChain {
    GstElement* depayloader;
    GstElement* parser;
    GstElement* decoder;
    GstElement* convert;
    GstElement* sink;
};

// Depayloader to NV12 samples, added to the pipeline and linked.
DecodeChain addDecodeChain(GstElement* pipeline) {
    const DecodeChain chain{
        .depayloader = gst_element_factory_make("rtph264depay", nullptr),
        .parser = gst_element_factory_make("h264parse", nullptr),
        .decoder = gst_element_factory_make("avdec_h264", nullptr),
        .convert = gst_element_factory_make("videoconvert", nullptr),
        .sink = gst_element_factory_make("appsink", nullptr),
    };
    GstCaps* nv12 = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "NV12", nullptr);
    g_object_set(chain.sink, "sync", FALSE, "emit-signals", TRUE, "caps", nv12, nullptr);
    gst_caps_unref(nv12);
    gst_bin_add_many(GST_BIN(pipeline), chain.depayloader, chain.parser, chain.decoder,
                     chain.convert, chain.sink, nullptr);
    gst_element_link_many(chain.depayloader, chain.parser, chain.decoder, chain.convert, chain.sink,
                          nullptr);
    return chain;
}

// The receivers' queue: process-wide, so that no receiver is ever destroyed on its own thread.
std::shared_ptr<SerialQueue> receiverQueue() {
    static const auto queue = std::make_shared<SerialQueue>("app.quillory.media.receiver");
    return queue;
}

using Blackout = std::shared_ptr<VideoReceiver::Blackout>;

// Drops buffers and buffer lists while the receiver's blackout is on. SRTP and SRTCP (first byte
// 128 to 191) flow only once the DTLS handshake is over.
GstPadProbeReturn blackoutProbe(GstPad*, GstPadProbeInfo* info, gpointer data) {
    const Blackout shared = fromGlib<Blackout>(data);
    auto& blackout = *shared;
    if (blackout.afterHandshake.load() && !blackout.on.load()) {
        GstBuffer* buffer = (info->type & GST_PAD_PROBE_TYPE_BUFFER) != 0
                                ? GST_PAD_PROBE_INFO_BUFFER(info)
                                : gst_buffer_list_get(GST_PAD_PROBE_INFO_BUFFER_LIST(info), 0);
        std::uint8_t first = 0;
        if (buffer != nullptr && gst_buffer_extract(buffer, 0, &first, 1) == 1 && first >= 128 &&
            first <= 191) {
            blackout.on.store(true);
        }
    }
    return blackout.on.load() ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

void addBlackoutProbe(GstElement* webrtc, const char* factory, const char* padName,
                      const Blackout& blackout) {
    GstElement* element = findInside(webrtc, factory);
    if (element == nullptr) {
        return;
    }
    GstPad* pad = gst_element_get_static_pad(element, padName);
    gst_pad_add_probe(
        pad,
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        blackoutProbe, handedToGlib(new Blackout(blackout)), deleteFromGlib<Blackout>);
    gst_object_unref(pad);
    gst_object_unref(element);
}

}  // namespace

std::shared_ptr<VideoReceiver> VideoReceiver::create(const std::string& localAddress,
                                                     const std::vector<VideoCodecInfo>& codecs,
                                                     FrameCallback onFrame) {
    const std::optional<std::string> address = gatheringAddress(localAddress);
    if (!address || !gstreamerWebRtcAvailable()) {
        return nullptr;
    }
    auto receiver = std::make_shared<VideoReceiver>(Private{}, std::move(onFrame));
    if (!receiver->build(*address, codecs)) {
        receiver->close();
        return nullptr;
    }
    return receiver;
}

VideoReceiver::VideoReceiver(Private, FrameCallback onFrame)
    : onFrame_(std::move(onFrame)), queue_(receiverQueue()), gathering_(*queue_) {}

VideoReceiver::~VideoReceiver() {
    close();
    if (pipeline_ != nullptr) {
        queue_->async([pipeline = pipeline_] { gst_object_unref(pipeline); });
    }
}

bool VideoReceiver::build(const std::string& address, const std::vector<VideoCodecInfo>& codecs) {
    pipeline_ = gst_pipeline_new(nullptr);
    webrtc_ = gst_element_factory_make("webrtcbin", nullptr);
    if (pipeline_ == nullptr || webrtc_ == nullptr) {
        return false;
    }
    gst_object_ref_sink(pipeline_);
    gst_bin_add(GST_BIN(pipeline_), webrtc_);
    gst_util_set_object_arg(G_OBJECT(webrtc_), "bundle-policy", "max-bundle");
    g_object_set(webrtc_, "latency", latencyMilliseconds, nullptr);
    if (!pinGathering(webrtc_, address)) {
        return false;
    }
    // A plain answerer leaves the transport-wide feedback out; our preferences keep it.
    GstCaps* preferences = codecPreferences(offeredVideoCodecs(codecs));
    GstWebRTCRTPTransceiver* transceiver = nullptr;
    g_signal_emit_by_name(webrtc_, "add-transceiver", GST_WEBRTC_RTP_TRANSCEIVER_DIRECTION_RECVONLY,
                          preferences, &transceiver);
    gst_caps_unref(preferences);
    if (transceiver == nullptr) {
        return false;
    }
    // Lost packets are asked for again rather than left as broken frames.
    g_object_set(transceiver, "do-nack", TRUE, nullptr);
    gst_object_unref(transceiver);

    const WeakReceiver weak = weak_from_this();
    g_signal_connect_data(
        webrtc_, "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer data) {
            if (auto self = weakOf(data).lock()) {
                self->padAdded(pad);
            }
        }),
        newWeak(weak), [](gpointer data, GClosure*) { deleteWeak(data); },
        static_cast<GConnectFlags>(0));
    gathering_.watch(webrtc_, std::shared_ptr<IceGatheringWait>(shared_from_this(), &gathering_));
    return gst_element_set_state(pipeline_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

void VideoReceiver::padAdded(GstPad* pad) {
    if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC || isClosed()) {
        return;
    }
    const DecodeChain chain = addDecodeChain(pipeline_);
    watchSamples(chain.sink);
    watchPictures(chain.depayloader, chain.decoder);
    for (GstElement* element :
         {chain.sink, chain.convert, chain.decoder, chain.parser, chain.depayloader}) {
        gst_element_sync_state_with_parent(element);
    }
    GstPad* input = gst_element_get_static_pad(chain.depayloader, "sink");
    gst_pad_link(pad, input);
    gst_object_unref(input);
    std::lock_guard lock(mutex_);
    depayloader_ = chain.depayloader;
}

void VideoReceiver::watchSamples(GstElement* sink) {
    g_signal_connect_data(
        sink, "new-sample", G_CALLBACK(+[](GstElement* appsink, gpointer data) {
            GstSample* sample = nullptr;
            g_signal_emit_by_name(appsink, "pull-sample", &sample);
            if (sample == nullptr) {
                return GST_FLOW_OK;
            }
            if (auto self = weakOf(data).lock()) {
                self->sampleArrived(sample);
            }
            gst_sample_unref(sample);
            return GST_FLOW_OK;
        }),
        newWeak(weak_from_this()), [](gpointer data, GClosure*) { deleteWeak(data); },
        static_cast<GConnectFlags>(0));
}

void VideoReceiver::watchPictures(GstElement* depayloader, GstElement* decoder) {
    const WeakReceiver weak = weak_from_this();
    GstPad* depayloaded = gst_element_get_static_pad(depayloader, "src");
    gst_pad_add_probe(
        depayloaded, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
            GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
            if (GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT)) {
                return GST_PAD_PROBE_OK;
            }
            if (auto self = weakOf(data).lock()) {
                std::lock_guard lock(self->mutex_);
                self->losses_.keyframeDepayloaded(GST_BUFFER_PTS(buffer));
            }
            return GST_PAD_PROBE_OK;
        },
        newWeak(weak), deleteWeak);
    gst_object_unref(depayloaded);
    // The jitter buffer's verdict on a gap it stopped waiting for, retransmissions included,
    // in order with the packets after it; and the pictures the decoder made of them.
    GstPad* packets = gst_element_get_static_pad(depayloader, "sink");
    gst_pad_add_probe(
        packets,
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                     GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
            if (auto self = weakOf(data).lock()) {
                if ((GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) != 0) {
                    self->packetArrived(GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info)));
                } else if (GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
                           GST_EVENT_TYPE(event) == GST_EVENT_CUSTOM_DOWNSTREAM &&
                           gst_event_has_name(event, "GstRTPPacketLost")) {
                    self->packetLost();
                }
            }
            return GST_PAD_PROBE_OK;
        },
        newWeak(weak), deleteWeak);
    gst_object_unref(packets);
    GstPad* decoded = gst_element_get_static_pad(decoder, "src");
    gst_pad_add_probe(
        decoded, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
            if (auto self = weakOf(data).lock()) {
                self->pictureDecoded(GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info)));
            }
            return GST_PAD_PROBE_OK;
        },
        newWeak(weak), deleteWeak);
    gst_object_unref(decoded);
}

void VideoReceiver::askForKeyframesOnLoss() {
    std::lock_guard lock(mutex_);
    losses_.askOnLoss();
}

void VideoReceiver::packetLost() {
    {
        std::lock_guard lock(mutex_);
        if (!losses_.packetLost()) {
            return;
        }
    }
    pictureLost(false);
}

void VideoReceiver::packetArrived(GstClockTime time) {
    std::lock_guard lock(mutex_);
    losses_.packetArrived(time);
}

void VideoReceiver::pictureDecoded(GstClockTime time) {
    std::lock_guard lock(mutex_);
    losses_.pictureDecoded(time, static_cast<std::int64_t>(uptimeNanoseconds()));
}

void VideoReceiver::sampleArrived(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (buffer == nullptr || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample))) {
        return;
    }
    GstVideoFrame mapped;
    if (!gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ)) {
        return;
    }
    Frame frame;
    frame.width = GST_VIDEO_INFO_WIDTH(&info);
    frame.height = GST_VIDEO_INFO_HEIGHT(&info);
    frame.decodedAtNanoseconds = static_cast<std::int64_t>(uptimeNanoseconds());
    const auto width = static_cast<std::size_t>(frame.width);
    frame.luma.resize(width * static_cast<std::size_t>(frame.height));
    const auto* plane = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0));
    const auto stride = static_cast<std::size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0));
    for (std::size_t row = 0; row < static_cast<std::size_t>(frame.height); ++row) {
        std::memcpy(frame.luma.data() + row * width, plane + row * stride, width);
    }
    gst_video_frame_unmap(&mapped);
    std::lock_guard handing(handingOver_);
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        frame.keyframe = losses_.takeKeyframe(GST_BUFFER_PTS(buffer));
    }
    if (onFrame_) {
        onFrame_(frame);
    }
}

GstPromise* VideoReceiver::step(AnswerCompletion completion, Step then) {
    return makePromise([weak = weak_from_this(), completion = std::move(completion),
                        then = std::move(then)](bool replied, const GstStructure* reply) mutable {
        auto self = weak.lock();
        if (!self || self->isClosed()) {
            return;
        }
        if (std::string error = promiseError(replied, reply); !error.empty()) {
            completion(std::nullopt, error);
            return;
        }
        then(*self, reply, std::move(completion));
    });
}

void VideoReceiver::answer(const std::string& offerSdp, AnswerCompletion completion) {
    GstWebRTCSessionDescription* offer = sessionDescription(offerSdp, GST_WEBRTC_SDP_TYPE_OFFER);
    if (offer == nullptr) {
        completion(std::nullopt, "the offer is not SDP");
        return;
    }
    GstPromise* promise = step(std::move(completion), [](VideoReceiver& self, const GstStructure*,
                                                         AnswerCompletion applied) {
        GstPromise* created = self.step(
            std::move(applied),
            [](VideoReceiver& receiver, const GstStructure* answer, AnswerCompletion done) {
                receiver.descriptionCreated(answer, "answer", true, std::move(done));
            });
        g_signal_emit_by_name(self.webrtc_, "create-answer", nullptr, created);
        gst_promise_unref(created);
    });
    g_signal_emit_by_name(webrtc_, "set-remote-description", offer, promise);
    gst_promise_unref(promise);
    gst_webrtc_session_description_free(offer);
}

void VideoReceiver::offer(AnswerCompletion completion) {
    GstPromise* created =
        step(std::move(completion),
             [](VideoReceiver& self, const GstStructure* reply, AnswerCompletion done) {
                 self.descriptionCreated(reply, "offer", false, std::move(done));
             });
    g_signal_emit_by_name(webrtc_, "create-offer", nullptr, created);
    gst_promise_unref(created);
}

void VideoReceiver::acceptAnswer(const std::string& answerSdp,
                                 std::function<void(std::string)> completion) {
    GstWebRTCSessionDescription* answer = sessionDescription(answerSdp, GST_WEBRTC_SDP_TYPE_ANSWER);
    if (answer == nullptr) {
        completion("the answer is not SDP");
        return;
    }
    GstPromise* promise = makePromise([weak = weak_from_this(), completion = std::move(completion)](
                                          bool replied, const GstStructure* reply) {
        auto self = weak.lock();
        if (!self || self->isClosed()) {
            return;
        }
        std::string error = promiseError(replied, reply);
        if (error.empty()) {
            self->afterNegotiation();
        }
        completion(error);
    });
    g_signal_emit_by_name(webrtc_, "set-remote-description", answer, promise);
    gst_promise_unref(promise);
    gst_webrtc_session_description_free(answer);
}

void VideoReceiver::descriptionCreated(const GstStructure* reply, const char* field,
                                       bool negotiated, AnswerCompletion completion) {
    GstWebRTCSessionDescription* description = nullptr;
    if (reply != nullptr) {
        gst_structure_get(reply, field, GST_TYPE_WEBRTC_SESSION_DESCRIPTION, &description, nullptr);
    }
    if (description == nullptr) {
        completion(std::nullopt, std::string("no ") + field);
        return;
    }
    GstPromise* promise = step(
        std::move(completion),
        [negotiated](VideoReceiver& self, const GstStructure*, AnswerCompletion done) {
            if (negotiated) {
                self.afterNegotiation();
            }
            self.gathering_.start(
                gatheringTimeoutSeconds, [weak = self.weak_from_this(), done = std::move(done)] {
                    if (auto receiver = weak.lock()) {
                        std::optional<std::string> sdp =
                            descriptionText(receiver->webrtc_, "local-description");
                        done(sdp, sdp ? std::string() : "no local description");
                    }
                });
        });
    g_signal_emit_by_name(webrtc_, "set-local-description", description, promise);
    gst_promise_unref(promise);
    gst_webrtc_session_description_free(description);
}

void VideoReceiver::afterNegotiation() {
    if (GstElement* rtpbin = gst_bin_get_by_name(GST_BIN(webrtc_), "rtpbin")) {
        GObject* session = nullptr;
        g_signal_emit_by_name(rtpbin, "get-internal-session", 0u, &session);
        if (session != nullptr) {
            g_object_set(session, "rtcp-min-interval", reportInterval_.load(), nullptr);
            // Left to itself the session sends transport-wide feedback as early RTCP on every
            // marker bit; early packets carry no report blocks and keep postponing the regular
            // ones, so the sender would never learn its round trip time.
            g_object_set(session, "twcc-feedback-interval", twccFeedbackIntervalNanoseconds,
                         nullptr);
            // That feedback leaves as early RTCP, after which a keyframe request must wait a
            // whole report interval. Left to itself the session sizes that interval by 5 % of the
            // stream's rate and by the number of sources, a retransmission stream counting as
            // one: a still screen with retransmissions waits up to a second. A fixed bandwidth
            // keeps the wait short at every rate.
            g_object_set(session, "rtcp-fraction", rtcpBandwidthBitsPerSecond, nullptr);
            g_object_unref(session);
        }
        // The wait for a gap must not hold back the first picture: it starts once two packets
        // came in order rather than after the whole latency. Only a gap, a later packet come
        // before an earlier one, counts as loss: a packet merely expected by now may not have
        // been sent yet, and once given up it would be dropped on arrival, a broken picture for
        // a frame that came a little late. A browser's receiver, too, asks only for gaps.
        g_signal_connect(
            rtpbin, "new-jitterbuffer",
            G_CALLBACK(+[](GstElement*, GstElement* jitterbuffer, guint, guint, gpointer) {
                g_object_set(jitterbuffer, "faststart-min-packets", faststartPackets,
                             "rtx-next-seqnum", FALSE, nullptr);
            }),
            nullptr);
        gst_object_unref(rtpbin);
    }
    addBlackoutProbe(webrtc_, "nicesrc", "src", blackout_);
    addBlackoutProbe(webrtc_, "nicesink", "sink", blackout_);
}

void VideoReceiver::requestKeyframe() {
    sendKeyframeRequest();
}

void VideoReceiver::pictureLost(bool retry) {
    const auto now = static_cast<std::int64_t>(uptimeNanoseconds());
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        const PictureLossWatch::Request request = losses_.pictureLost(retry, now);
        if (request.retryAt) {
            pictureLossRetry_ = queue_->after(static_cast<double>(*request.retryAt - now) / 1e9,
                                              [weak = weak_from_this()] {
                                                  if (auto self = weak.lock()) {
                                                      self->pictureLost(true);
                                                  }
                                              });
        }
        if (!request.now) {
            return;
        }
    }
    sendKeyframeRequest();
}

std::uint64_t VideoReceiver::pictureLossRequests() const {
    std::lock_guard lock(mutex_);
    return losses_.requests();
}

void VideoReceiver::sendKeyframeRequest() {
    GstElement* depayloader = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (closed_ || depayloader_ == nullptr) {
            return;
        }
        depayloader = GST_ELEMENT(gst_object_ref(depayloader_));
    }
    GstPad* source = gst_element_get_static_pad(depayloader, "src");
    gst_pad_send_event(source,
                       gst_video_event_new_upstream_force_key_unit(GST_CLOCK_TIME_NONE, FALSE, 0));
    gst_object_unref(source);
    gst_object_unref(depayloader);
}

void VideoReceiver::setReportInterval(std::uint64_t nanoseconds) {
    reportInterval_.store(nanoseconds);
}

void VideoReceiver::blackOutAfterHandshake() {
    blackout_->afterHandshake.store(true);
}

void VideoReceiver::setBlackout(bool on) {
    blackout_->on.store(on);
}

PeerConnectionState VideoReceiver::connectionState() const {
    if (isClosed()) {
        return PeerConnectionState::closed;
    }
    GstWebRTCPeerConnectionState state = GST_WEBRTC_PEER_CONNECTION_STATE_NEW;
    g_object_get(webrtc_, "connection-state", &state, nullptr);
    return peerConnectionState(state);
}

void VideoReceiver::requestStatistics(
    std::function<void(std::optional<StudioStatisticsReport>)> completion) {
    if (isClosed()) {
        return;
    }
    GstPromise* promise = makePromise([weak = weak_from_this(), completion = std::move(completion)](
                                          bool replied, const GstStructure* reply) {
        auto self = weak.lock();
        if (!self || self->isClosed()) {
            return;
        }
        completion(replied && reply != nullptr
                       ? std::optional<StudioStatisticsReport>(statisticsReportFromGst(reply))
                       : std::nullopt);
    });
    g_signal_emit_by_name(webrtc_, "get-stats", nullptr, promise);
    gst_promise_unref(promise);
}

bool VideoReceiver::isClosed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

void VideoReceiver::close() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        closed_ = true;
        pictureLossRetry_.cancel();
    }
    gathering_.close();
    // A frame being handed over finishes first; later ones see the receiver closed.
    { std::lock_guard handing(handingOver_); }
    if (pipeline_ != nullptr) {
        queue_->async([pipeline = GST_ELEMENT(gst_object_ref(pipeline_))] {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
        });
    }
}

}  // namespace quillory
