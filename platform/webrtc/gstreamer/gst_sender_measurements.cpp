#include "platform/webrtc/gstreamer/gst_sender_measurements.h"

#include <gst/rtp/gstrtcpbuffer.h>
#include <gst/rtp/gstrtpbuffer.h>

#include <span>

#include "platform/webrtc/gstreamer/gst_webrtc_setup.h"

namespace quillory {

namespace {

// The fraction lost of `ssrc` in the last report block that names it, in percent.
std::optional<double> reportedLossPercent(GstBuffer* buffer, std::uint32_t ssrc) {
    GstRTCPBuffer rtcp = GST_RTCP_BUFFER_INIT;
    if (!gst_rtcp_buffer_map(buffer, GST_MAP_READ, &rtcp)) {
        return std::nullopt;
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
            guint32 reported = 0;
            guint8 fractionLost = 0;
            gint32 packetsLost = 0;
            guint32 highest = 0, jitter = 0, lastReport = 0, delay = 0;
            gst_rtcp_packet_get_rb(&packet, index, &reported, &fractionLost, &packetsLost, &highest,
                                   &jitter, &lastReport, &delay);
            if (reported == ssrc) {
                lossPercent = fractionLost * 100.0 / 256.0;
            }
        }
    }
    gst_rtcp_buffer_unmap(&rtcp);
    return lossPercent;
}

// Fields come as integers or doubles; anything else is left out.
std::optional<double> numberField(const GstStructure* structure, const char* name) {
    const GValue* value = gst_structure_get_value(structure, name);
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
}

// The transport-wide sequence number in a packet's one-byte header extensions; SRTP leaves the
// header readable.
std::optional<std::uint16_t> transportSequence(std::span<const std::uint8_t> packet) {
    std::size_t at = 12 + 4 * static_cast<std::size_t>(packet[0] & 0x0f);
    if ((packet[0] & 0x10) == 0 || at + 4 > packet.size() || packet[at] != 0xbe ||
        packet[at + 1] != 0xde) {
        return std::nullopt;
    }
    const std::size_t end =
        at + 4 + 4 * static_cast<std::size_t>(packet[at + 2] << 8 | packet[at + 3]);
    if (end > packet.size()) {
        return std::nullopt;
    }
    for (at += 4; at < end;) {
        const int id = packet[at] >> 4;
        const std::size_t length = (packet[at] & 0x0f) + 1u;
        if (id == 0) {
            ++at;  // padding
            continue;
        }
        if (id == 15 || at + 1 + length > end) {
            return std::nullopt;
        }
        if (id == twccExtensionId && length == 2) {
            return static_cast<std::uint16_t>(packet[at + 1] << 8 | packet[at + 2]);
        }
        at += 1 + length;
    }
    return std::nullopt;
}

}  // namespace

void GstSenderMeasurements::setMediaSsrc(std::uint32_t ssrc) {
    std::lock_guard lock(mutex_);
    mediaSsrc_ = ssrc;
}

void GstSenderMeasurements::packetized(GstBuffer* buffer, std::int64_t at) {
    GstRTPBuffer rtp = GST_RTP_BUFFER_INIT;
    if (!gst_rtp_buffer_map(buffer, GST_MAP_READ, &rtp)) {
        return;
    }
    const std::uint32_t timestamp = gst_rtp_buffer_get_timestamp(&rtp);
    gst_rtp_buffer_unmap(&rtp);
    std::lock_guard lock(mutex_);
    counters_.framePacketized(timestamp, at);
}

void GstSenderMeasurements::packetLeft(GstBuffer* buffer, std::int64_t at) {
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        return;
    }
    // SRTP leaves the RTP header readable; RTCP (payload types 200-204 with the marker) is not
    // ours to count.
    const bool rtp =
        map.size >= 12 && (map.data[0] >> 6) == 2 && (map.data[1] < 200 || map.data[1] > 204);
    const auto word = [&map](std::size_t offset) {
        return static_cast<std::uint32_t>(map.data[offset]) << 24 |
               static_cast<std::uint32_t>(map.data[offset + 1]) << 16 |
               static_cast<std::uint32_t>(map.data[offset + 2]) << 8 |
               static_cast<std::uint32_t>(map.data[offset + 3]);
    };
    const bool marker = rtp && (map.data[1] & 0x80) != 0;
    const bool padding = rtp && (map.data[0] & 0x20) != 0;
    const std::uint32_t timestamp = rtp ? word(4) : 0;
    const std::uint32_t ssrc = rtp ? word(8) : 0;
    const std::size_t size = map.size;
    const auto sequence =
        rtp ? transportSequence(std::span<const std::uint8_t>(map.data, map.size)) : std::nullopt;
    gst_buffer_unmap(buffer, &map);
    if (!rtp) {
        return;
    }
    std::lock_guard lock(mutex_);
    // A probe's burst is measured on its own; the delay trend follows the stream.
    if (padding && ssrc != mediaSsrc_) {
        if (sequence) {
            probes_.sent(static_cast<int>(timestamp), *sequence, size, at);
        }
        return;
    }
    if (sequence) {
        delayTrend_.packetSent(*sequence, at);
        probes_.otherSent(*sequence, size, at);
    }
    counters_.packetLeft(ssrc, mediaSsrc_, timestamp, marker, size, at);
    if (applicationLimit_) {
        applicationLimit_->sent(size, at);
    }
}

void GstSenderMeasurements::setApplicationLimitSettings(const ApplicationLimitSettings& settings) {
    std::lock_guard lock(mutex_);
    applicationLimit_.emplace(settings);
}

void GstSenderMeasurements::setEstimate(double bitsPerSecond) {
    std::lock_guard lock(mutex_);
    if (applicationLimit_) {
        applicationLimit_->setEstimate(bitsPerSecond);
    }
}

std::optional<std::int64_t> GstSenderMeasurements::applicationLimitedSince(std::int64_t now) {
    std::lock_guard lock(mutex_);
    return applicationLimit_ ? applicationLimit_->limitedSince(now) : std::nullopt;
}

std::optional<BandwidthFeedbackWindow> GstSenderMeasurements::receiverReport(GstBuffer* buffer,
                                                                             std::int64_t at) {
    std::uint32_t ssrc = 0;
    {
        std::lock_guard lock(mutex_);
        ssrc = mediaSsrc_;
    }
    const std::optional<double> lossPercent = reportedLossPercent(buffer, ssrc);
    if (!lossPercent) {
        return std::nullopt;
    }
    BandwidthFeedbackWindow window{.atSeconds = static_cast<double>(at) / 1e9,
                                   .lossPercent = lossPercent};
    std::lock_guard lock(mutex_);
    window.sentBps = counters_.takeSentBitsPerSecond(at);
    return window;
}

std::vector<ProbeResult> GstSenderMeasurements::feedbackReceived(GstBuffer* fci) {
    GstMapInfo map;
    if (!gst_buffer_map(fci, &map, GST_MAP_READ)) {
        return {};
    }
    const auto feedback = parseTransportFeedback(std::span<const std::uint8_t>(map.data, map.size));
    gst_buffer_unmap(fci, &map);
    if (!feedback) {
        return {};
    }
    std::lock_guard lock(mutex_);
    TransportFeedback stream = *feedback;
    probes_.countProbesReceived(stream);
    feedbackLoss_.add(stream);
    delayTrend_.feedback(*feedback);
    return probes_.feedback(*feedback);
}

std::optional<BandwidthFeedbackWindow> GstSenderMeasurements::feedbackStatistics(GObject* session,
                                                                                 std::int64_t at) {
    GstStructure* stats = nullptr;
    g_object_get(session, "twcc-stats", &stats, nullptr);
    if (stats == nullptr) {
        return std::nullopt;
    }
    BandwidthFeedbackWindow window{
        .atSeconds = static_cast<double>(at) / 1e9,
        .sentBps = numberField(stats, "bitrate-sent"),
        .receivedBps = numberField(stats, "bitrate-recv"),
        .lossPercent = numberField(stats, "packet-loss-pct"),
        .roundTripSeconds = std::nullopt,
    };
    gst_structure_free(stats);
    std::lock_guard lock(mutex_);
    // GStreamer's own figure stays at zero while the rate cap drops packets.
    if (const auto lost = feedbackLoss_.takeLossPercent()) {
        window.lossPercent = lost;
    }
    window.delayTrend = delayTrend_.trend();
    return window;
}

StudioStatisticsReport GstSenderMeasurements::complete(StudioStatisticsReport report) {
    std::lock_guard lock(mutex_);
    return statistics_.complete(std::move(report), counters_, mediaSsrc_);
}

}  // namespace quillory
