// The send path of GstPeerTransport: bitrate, keyframe requests, encoding, pushing access units
// into appsrc and timing their packets out of webrtcbin.
#include <gst/app/gstappsrc.h>
#include <gst/rtp/gstrtcpbuffer.h>
#include <gst/rtp/gstrtpbuffer.h>

#include <algorithm>
#include <limits>
#include <span>

#include "platform/log/logger.h"
#include "platform/process/process_info.h"
#include "platform/webrtc/gstreamer/glib_handoff.h"
#include "platform/webrtc/gstreamer/gst_peer_transport.h"

namespace quillory {

void GstPeerTransport::setBitrateBounds(const BitrateBounds& bounds) {
    queue_->async([weak = weak_from_this(), bounds] {
        if (auto self = weak.lock()) {
            self->estimator_.setBounds(bounds);
            self->applyEncoderRate();
        }
    });
}

void GstPeerTransport::estimateArrived(const BandwidthFeedbackWindow& window) {
    QUILLORY_CHECK_ON(*queue_);
    const std::int64_t before = estimator_.estimateBps();
    const auto estimate = static_cast<double>(estimator_.update(window));
    if (estimate < static_cast<double>(before)) {
        // Debug only (QUILLORY_DEBUG=webrtc): what made the sending rate fall.
        static const Logger logger("webrtc", "estimate");
        logger.debug(
            "Estimate %.0f kbit/s after sent %.0f, received %.0f kbit/s, loss %.1f %%, "
            "delay gradient %.2f ms",
            estimate / 1e3, window.sentBps.value_or(-1e3) / 1e3,
            window.receivedBps.value_or(-1e3) / 1e3, window.lossPercent.value_or(-1),
            window.deltaOfDeltaSeconds.value_or(0) * 1e3);
    }
    estimated_ = true;
    {
        std::lock_guard lock(mutex_);
        std::int64_t cap = maximumBitrateBps_;
        if (parameters_ && !parameters_->encodings.empty() &&
            parameters_->encodings.front().maxBitrateBps) {
            cap = *parameters_->encodings.front().maxBitrateBps;
        }
        counters_.bandwidthLimited =
            window.sentBps && *window.sentBps >= BandwidthEstimator::underuseShare * estimate &&
            estimate < static_cast<double>(cap);
    }
    applyEncoderRate();
}

void GstPeerTransport::receiverReportArrived(GstBuffer* buffer) {
    GstRTCPBuffer rtcp = GST_RTCP_BUFFER_INIT;
    if (!gst_rtcp_buffer_map(buffer, GST_MAP_READ, &rtcp)) {
        return;
    }
    std::optional<double> lossPercent;
    GstRTCPPacket packet;
    for (gboolean more = gst_rtcp_buffer_get_first_packet(&rtcp, &packet); more != FALSE;
         more = gst_rtcp_packet_move_to_next(&packet)) {
        const GstRTCPType type = gst_rtcp_packet_get_type(&packet);
        if (type != GST_RTCP_TYPE_RR && type != GST_RTCP_TYPE_SR) {
            continue;
        }
        const guint blocks = gst_rtcp_packet_get_rb_count(&packet);
        for (guint index = 0; index < blocks; ++index) {
            guint32 ssrc = 0;
            guint8 fractionLost = 0;
            gint32 packetsLost = 0;
            guint32 highest = 0, jitter = 0, lastReport = 0, delay = 0;
            gst_rtcp_packet_get_rb(&packet, index, &ssrc, &fractionLost, &packetsLost, &highest,
                                   &jitter, &lastReport, &delay);
            if (ssrc == ssrc_) {
                lossPercent = fractionLost * 100.0 / 256.0;
            }
        }
    }
    gst_rtcp_buffer_unmap(&rtcp);
    if (!lossPercent) {
        return;
    }
    const std::int64_t at = now();
    BandwidthFeedbackWindow window{.atSeconds = static_cast<double>(at) / 1e9,
                                   .lossPercent = lossPercent};
    {
        std::lock_guard lock(mutex_);
        window.sentBps = counters_.takeSentBitsPerSecond(at);
    }
    // Without transport-wide feedback the receiver's reports are all the estimate has to go on.
    queue_->async([weak = weak_from_this(), window] {
        if (auto self = weak.lock(); self && !self->transportFeedback_) {
            self->estimateArrived(window);
        }
    });
}

void GstPeerTransport::frameDroppedBusy() {
    std::lock_guard lock(mutex_);
    counters_.framesDroppedBusy += 1;
}

void GstPeerTransport::applyEncoderRate() {
    QUILLORY_CHECK_ON(*queue_);
    std::int64_t rate = estimator_.estimateBps();
    {
        std::lock_guard lock(mutex_);
        if (estimated_) {
            counters_.availableOutgoingBitrate = static_cast<double>(rate);
        }
        if (parameters_ && !parameters_->encodings.empty() &&
            parameters_->encodings.front().maxBitrateBps) {
            rate = std::min(rate, *parameters_->encodings.front().maxBitrateBps);
        }
        if (encoder_) {
            counters_.targetBitrate = static_cast<double>(rate);
        }
    }
    pacing_->setTargetBitrate(static_cast<double>(rate));
    const auto kbps = static_cast<std::uint32_t>(rate / 1000);
    if (encoder_ && encoderWidth_ != 0 && kbps != encoderBitrateKbps_) {
        encoderBitrateKbps_ = kbps;
        encoder_->setBitrate(kbps, static_cast<std::uint32_t>(encoderRate_));
    }
}

void GstPeerTransport::keyframeRequested(bool fullIntraRequest) {
    if (fullIntraRequest) {
        std::lock_guard lock(mutex_);
        counters_.firCount += 1;
    }
    queue_->async([weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->keyframes_.request();
            self->repeatForKeyframe();
        }
    });
}

// A frame on its way takes the request; otherwise the last picture goes again as an IDR, once
// the limiter lets one out.
void GstPeerTransport::repeatForKeyframe() {
    QUILLORY_CHECK_ON(*queue_);
    if (!lastFrame_ || !keyframes_.pending() || framesQueued_.load() > 0) {
        return;
    }
    if (const std::int64_t wait = keyframes_.wait(now()); wait > 0) {
        keyframeRepeat_ = queue_->after(static_cast<double>(wait) / 1e9, [weak = weak_from_this()] {
            if (auto self = weak.lock()) {
                self->repeatForKeyframe();
            }
        });
        return;
    }
    auto [frame, rate] = *lastFrame_;
    // A new frame to the receiver, with an RTP time of its own.
    frame.captureTimeNs = now();
    encodeFrame(std::move(frame), rate);
}

void GstPeerTransport::packetized(GstBuffer* buffer) {
    GstRTPBuffer rtp = GST_RTP_BUFFER_INIT;
    if (!gst_rtp_buffer_map(buffer, GST_MAP_READ, &rtp)) {
        return;
    }
    const std::uint32_t timestamp = gst_rtp_buffer_get_timestamp(&rtp);
    gst_rtp_buffer_unmap(&rtp);
    std::lock_guard lock(mutex_);
    counters_.framePacketized(timestamp, now());
}

void GstPeerTransport::packetLeft(GstBuffer* buffer) {
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        return;
    }
    // SRTP leaves the RTP header readable; RTCP (payload types 200-204 with the marker) is not
    // ours to count.
    const bool rtp =
        map.size >= 12 && (map.data[0] >> 6) == 2 && (map.data[1] < 200 || map.data[1] > 204);
    const auto word = [&map](std::size_t at) {
        return static_cast<std::uint32_t>(map.data[at]) << 24 |
               static_cast<std::uint32_t>(map.data[at + 1]) << 16 |
               static_cast<std::uint32_t>(map.data[at + 2]) << 8 |
               static_cast<std::uint32_t>(map.data[at + 3]);
    };
    const bool marker = rtp && (map.data[1] & 0x80) != 0;
    const std::uint32_t timestamp = rtp ? word(4) : 0;
    const std::uint32_t ssrc = rtp ? word(8) : 0;
    const std::size_t size = map.size;
    gst_buffer_unmap(buffer, &map);
    if (!rtp) {
        return;
    }
    std::lock_guard lock(mutex_);
    counters_.packetLeft(ssrc, ssrc_, timestamp, marker, size, now());
}

void GstPeerTransport::pace(PacingGate& gate, std::uint32_t mediaSsrc, GstBuffer* buffer) {
    GstRTPBuffer rtp = GST_RTP_BUFFER_INIT;
    if (!gst_rtp_buffer_map(buffer, GST_MAP_READ, &rtp)) {
        return;
    }
    const std::uint32_t ssrc = gst_rtp_buffer_get_ssrc(&rtp);
    const std::uint32_t timestamp = gst_rtp_buffer_get_timestamp(&rtp);
    const bool marker = gst_rtp_buffer_get_marker(&rtp) != FALSE;
    gst_rtp_buffer_unmap(&rtp);
    const std::size_t size = gst_buffer_get_size(buffer);
    if (ssrc == mediaSsrc) {
        gate.passMedia(size, timestamp, marker);
    } else {
        gate.passRetransmission(size);
    }
}

void GstPeerTransport::encodeFrame(VideoFrame frame, int maximumFramesPerSecond) {
    QUILLORY_CHECK_ON(*queue_);
    if (!connected_ || !encoder_ || failed_) {
        return;
    }
    if (maximumFramesPerSecond <= 0) {
        maximumFramesPerSecond = defaultFramesPerSecond;
    }
    bool started = false;
    if (frame.adaptedWidth != encoderWidth_ || frame.adaptedHeight != encoderHeight_) {
        if (!startEncoder(frame, maximumFramesPerSecond)) {
            failStream(encoderFailed);
            return;
        }
        started = true;
    } else if (maximumFramesPerSecond != encoderRate_) {
        // A frame-rate step keeps the running encoder: a new one would cost a keyframe and the
        // frames the old one held.
        encoderRate_ = maximumFramesPerSecond;
        {
            std::lock_guard lock(mutex_);
            counters_.encoderConfigured(counters_.targetBitrate, encoderRate_);
        }
        encoder_->setBitrate(encoderBitrateKbps_, static_cast<std::uint32_t>(encoderRate_));
    }
    // A picture sent again takes the time of its request, which a frame captured before it may
    // reach the queue after; RTP times must still rise.
    if (lastFrame_ && frame.captureTimeNs <= lastFrame_->first.captureTimeNs) {
        frame.captureTimeNs = lastFrame_->first.captureTimeNs + 1'000'000;
    }
    const std::int64_t at = now();
    bool key = std::exchange(keyframeNext_, false);
    if (key) {
        keyframes_.keyframeSent(at);
    } else {
        key = keyframes_.forceKeyframe(at);
    }
    const VideoFrameType type = key ? VideoFrameType::key : VideoFrameType::delta;
    const H264CodecSpecificInfo info{.packetizationMode = 1};
    if (encoder_->encode(frame, &info, std::span<const VideoFrameType>(&type, 1)) != videoCodecOk) {
        // An encoder that refuses a frame starts afresh with the next one, as a keyframe, so the
        // picture is whole again; one that refuses the first frame after a start cannot encode.
        if (started) {
            failStream(encoderFailed);
            return;
        }
        encoder_->releaseEncoder();
        encoderWidth_ = 0;
        encoderHeight_ = 0;
        keyframeNext_ = true;
    }
    lastFrame_.emplace(std::move(frame), maximumFramesPerSecond);
}

bool GstPeerTransport::startEncoder(const VideoFrame& frame, int maximumFramesPerSecond) {
    QUILLORY_CHECK_ON(*queue_);
    if (encoderWidth_ != 0) {
        encoder_->releaseEncoder();
    }
    std::int64_t rate = estimator_.estimateBps();
    {
        std::lock_guard lock(mutex_);
        if (parameters_ && !parameters_->encodings.empty() &&
            parameters_->encodings.front().maxBitrateBps) {
            rate = std::min(rate, *parameters_->encodings.front().maxBitrateBps);
        }
        counters_.encoderConfigured(static_cast<double>(rate), maximumFramesPerSecond);
    }
    pacing_->setTargetBitrate(static_cast<double>(rate));
    encoderBitrateKbps_ = static_cast<std::uint32_t>(rate / 1000);
    const VideoEncoderSettings settings{
        .width = frame.adaptedWidth,
        .height = frame.adaptedHeight,
        .startBitrateKbps = encoderBitrateKbps_,
        .maxFramerate = static_cast<std::uint32_t>(maximumFramesPerSecond),
        .cores = usableCores(),
    };
    encoderWidth_ = frame.adaptedWidth;
    encoderHeight_ = frame.adaptedHeight;
    encoderRate_ = maximumFramesPerSecond;
    keyframeNext_ = true;
    return encoder_->startEncode(settings) == videoCodecOk;
}

void GstPeerTransport::imageEncoded(const EncodedImage& image) {
    QUILLORY_CHECK_SEQUENCE(encoding_);
    if (!image.buffer || image.buffer->empty() || appsrc_ == nullptr) {
        return;
    }
    const bool key = image.frameType == VideoFrameType::key;
    const H264StreamReader::AccessUnit unit = reader_.read(*image.buffer);

    const GstClockTime base = gst_element_get_base_time(pipeline_);
    const std::int64_t capture = image.captureTimeMs * 1'000'000;
    const GstClockTime pts = capture > 0 && static_cast<GstClockTime>(capture) > base
                                 ? static_cast<GstClockTime>(capture) - base
                                 : 0;
    const std::uint32_t rtpTimestamp =
        static_cast<std::uint32_t>(gst_util_uint64_scale_int(pts, 90000, GST_SECOND));

    auto* bytes = handedToGlib(new std::shared_ptr<const Bytes>(image.buffer));
    GstBuffer* buffer = gst_buffer_new_wrapped_full(
        GST_MEMORY_FLAG_READONLY, const_cast<std::uint8_t*>((*bytes)->data()), (*bytes)->size(), 0,
        (*bytes)->size(), bytes, deleteFromGlib<std::shared_ptr<const Bytes>>);
    GST_BUFFER_PTS(buffer) = pts;
    if (!key) {
        GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
    }
    std::optional<int> qp = unit.qp;
    if (!qp && image.qp >= 0) {
        qp = image.qp;
    }
    {
        std::lock_guard lock(mutex_);
        counters_.frameEncoded({
            .rtpTimestamp = rtpTimestamp,
            .pushedAtNanoseconds = now(),
            .bytes = image.buffer->size(),
            .key = key,
            .qp = qp,
            .encodeSeconds = static_cast<double>(std::max<std::int64_t>(
                                 0, image.encodeFinishMs - image.encodeStartMs)) /
                             1000.0,
            .width = image.encodedWidth,
            .height = image.encodedHeight,
        });
    }
    pacing_->frameQueued(rtpTimestamp, image.buffer->size());
    gst_app_src_push_buffer(GST_APP_SRC(appsrc_), buffer);
}

void GstPeerTransport::transportFeedbackReceived(GstBuffer* fci) {
    GstMapInfo map;
    if (!gst_buffer_map(fci, &map, GST_MAP_READ)) {
        return;
    }
    std::lock_guard lock(mutex_);
    feedbackLoss_.add(std::span<const std::uint8_t>(map.data, map.size));
    gst_buffer_unmap(fci, &map);
}

void GstPeerTransport::transportFeedbackArrived(GObject* session) {
    GstStructure* stats = nullptr;
    g_object_get(session, "twcc-stats", &stats, nullptr);
    if (stats == nullptr) {
        return;
    }
    // Fields come as integers or doubles; anything else is left out.
    const auto field = [stats](const char* name) -> std::optional<double> {
        const GValue* value = gst_structure_get_value(stats, name);
        if (value == nullptr) {
            return std::nullopt;
        }
        GValue converted = G_VALUE_INIT;
        g_value_init(&converted, G_TYPE_DOUBLE);
        std::optional<double> result;
        if (g_value_transform(value, &converted)) {
            result = g_value_get_double(&converted);
        }
        g_value_unset(&converted);
        return result;
    };
    BandwidthFeedbackWindow window{
        .atSeconds = static_cast<double>(now()) / 1e9,
        .sentBps = field("bitrate-sent"),
        .receivedBps = field("bitrate-recv"),
        .lossPercent = field("packet-loss-pct"),
        .deltaOfDeltaSeconds = field("avg-delta-of-delta"),
        .roundTripSeconds = std::nullopt,
    };
    gst_structure_free(stats);
    {
        // GStreamer's own figure stays at zero while the rate cap drops packets.
        std::lock_guard lock(mutex_);
        if (const auto lost = feedbackLoss_.takeLossPercent()) {
            window.lossPercent = lost;
        }
    }
    // The smallest 64-bit value stands for "no gradient yet".
    if (window.deltaOfDeltaSeconds &&
        *window.deltaOfDeltaSeconds <= static_cast<double>(G_MININT64) / 2) {
        window.deltaOfDeltaSeconds.reset();
    }
    if (window.deltaOfDeltaSeconds) {
        *window.deltaOfDeltaSeconds /= 1e9;
    }
    queue_->async([weak = weak_from_this(), window] {
        if (auto self = weak.lock()) {
            self->estimateArrived(window);
        }
    });
}

void GstPeerTransport::failStream(const std::string& message) {
    QUILLORY_CHECK_ON(*queue_);
    if (failed_) {
        return;
    }
    failed_ = true;
    if (auto delegate = liveDelegate()) {
        delegate->transportFailed(message);
    }
}

}  // namespace quillory
