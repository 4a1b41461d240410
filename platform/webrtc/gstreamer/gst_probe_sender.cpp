#include "platform/webrtc/gstreamer/gst_probe_sender.h"

#include <gst/rtp/gstrtpbuffer.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>

#include "platform/clock/clock.h"
#include "platform/dispatch/sequence_checker.h"
#include "platform/webrtc/gstreamer/gst_webrtc_setup.h"

namespace quillory {
namespace {

constexpr std::size_t headerBytes = 12;
// One one-byte extension element holding the transport-wide sequence number, padded to a word.
constexpr std::size_t extensionBytes = 8;

std::int64_t now() {
    return static_cast<std::int64_t>(uptimeNanoseconds());
}

}  // namespace

GstProbeSender::GstProbeSender(SerialQueue& queue, PacingGate& pacing)
    : queue_(queue),
      pacing_(pacing),
      nextSequence_(static_cast<std::uint16_t>(std::random_device{}())) {}

GstProbeSender::~GstProbeSender() {
    release();
}

void GstProbeSender::bind(std::weak_ptr<GstProbeSender> self) {
    self_ = std::move(self);
}

void GstProbeSender::release() {
    std::lock_guard lock(mutex_);
    for (GstObject* object : {GST_OBJECT(retransmitter_), GST_OBJECT(pad_)}) {
        if (object != nullptr) {
            gst_object_unref(object);
        }
    }
    retransmitter_ = nullptr;
    pad_ = nullptr;
}

void GstProbeSender::setStream(GstElement* retransmitter, GstPad* pad, std::uint32_t ssrc,
                               int mediaPayloadType) {
    release();
    std::lock_guard lock(mutex_);
    retransmitter_ = GST_ELEMENT(gst_object_ref(retransmitter));
    pad_ = GST_PAD(gst_object_ref(pad));
    ssrc_ = ssrc;
    mediaPayloadType_ = mediaPayloadType;
}

GstBuffer* GstProbeSender::renumber(GstBuffer* buffer, std::uint32_t mediaSsrc) {
    GstRTPBuffer rtp = GST_RTP_BUFFER_INIT;
    if (!gst_rtp_buffer_map(buffer, GST_MAP_READ, &rtp)) {
        return buffer;
    }
    const bool other = gst_rtp_buffer_get_ssrc(&rtp) != mediaSsrc;
    gst_rtp_buffer_unmap(&rtp);
    if (!other) {
        return buffer;
    }
    buffer = gst_buffer_make_writable(buffer);
    if (gst_rtp_buffer_map(buffer, GST_MAP_WRITE, &rtp)) {
        gst_rtp_buffer_set_seq(&rtp, nextSequence_.fetch_add(1));
        gst_rtp_buffer_unmap(&rtp);
    }
    return buffer;
}

bool GstProbeSender::learnStream() {
    if (payloadType_) {
        return true;
    }
    GstStructure* map = nullptr;
    int mediaPayloadType = -1;
    {
        std::lock_guard lock(mutex_);
        if (retransmitter_ != nullptr) {
            g_object_get(retransmitter_, "payload-type-map", &map, nullptr);
        }
        mediaPayloadType = mediaPayloadType_;
    }
    if (map == nullptr) {
        return false;
    }
    guint payloadType = 0;
    if (gst_structure_get_uint(map, std::to_string(mediaPayloadType).c_str(), &payloadType) &&
        payloadType < 128) {
        payloadType_ = static_cast<std::uint8_t>(payloadType);
    }
    gst_structure_free(map);
    return payloadType_.has_value();
}

bool GstProbeSender::ready() {
    QUILLORY_CHECK_ON(queue_);
    return learnStream();
}

GstBuffer* GstProbeSender::probePacket(int cluster, std::uint32_t ssrc) const {
    const std::size_t size = headerBytes + extensionBytes + paddingBytes;
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        gst_buffer_unref(buffer);
        return nullptr;
    }
    std::fill(map.data, map.data + size, std::uint8_t{0});
    const auto put32 = [&map](std::size_t at, std::uint32_t value) {
        for (std::size_t index = 0; index < 4; ++index) {
            map.data[at + index] = static_cast<std::uint8_t>(value >> (24 - 8 * index));
        }
    };
    // Version 2, padding, extension; the sequence number is given where the packet is paced.
    map.data[0] = 0x80 | 0x20 | 0x10;
    map.data[1] = *payloadType_;
    put32(4, static_cast<std::uint32_t>(cluster));
    put32(8, ssrc);
    // One-byte extensions, one word: the transport-wide number, which the session writes.
    map.data[12] = 0xbe;
    map.data[13] = 0xde;
    map.data[15] = 1;
    map.data[16] = static_cast<std::uint8_t>(twccExtensionId << 4 | 1);
    map.data[size - 1] = static_cast<std::uint8_t>(paddingBytes);
    gst_buffer_unmap(buffer, &map);
    return buffer;
}

void GstProbeSender::send(const ProbeCluster& cluster) {
    QUILLORY_CHECK_ON(queue_);
    if (closed_ || cluster.targetBps <= 0 || !learnStream()) {
        return;
    }
    const double packetBits = static_cast<double>(headerBytes + extensionBytes + paddingBytes) * 8;
    const double bits = cluster.targetBps * static_cast<double>(clusterNanoseconds) / 1e9;
    const auto packets =
        std::max(fewestPackets, static_cast<std::size_t>(std::ceil(bits / packetBits)));
    clusters_.push_back(Sending{.cluster = cluster, .packets = packets});
    if (clusters_.size() == 1) {
        sendDue();
    }
}

void GstProbeSender::schedule(std::int64_t at) {
    timer_ = queue_.after(static_cast<double>(std::max<std::int64_t>(at - now(), 0)) / 1e9,
                          [weak = self_] {
                              if (auto self = weak.lock()) {
                                  self->sendDue();
                              }
                          });
}

void GstProbeSender::sendDue() {
    QUILLORY_CHECK_ON(queue_);
    const double packetBits = static_cast<double>(headerBytes + extensionBytes + paddingBytes) * 8;
    while (!clusters_.empty() && !closed_) {
        Sending& sending = clusters_.front();
        const std::int64_t at = now();
        sending.startedAt = sending.startedAt.value_or(at);
        if (at - *sending.startedAt > longestPauseNanoseconds) {
            cutShort_.push_back(sending.cluster);
            clusters_.pop_front();
            continue;
        }
        // A burst waiting goes first: a probe ahead of it on the path would make it wait, or
        // push it out of a full queue.
        if (pacing_.burstWaiting()) {
            sending.paused = true;
            schedule(at + pauseCheckNanoseconds);
            return;
        }
        GstPad* pad = nullptr;
        std::uint32_t ssrc = 0;
        {
            std::lock_guard lock(mutex_);
            if (pad_ != nullptr) {
                pad = GST_PAD(gst_object_ref(pad_));
            }
            ssrc = ssrc_;
        }
        if (pad == nullptr) {
            clusters_.clear();
            return;
        }
        // What fell due while paused for a frame leaves at the cluster's pace, not at once; what
        // fell due while the queue was late leaves now, or a busy sender would probe below its
        // aim.
        const auto spacing =
            static_cast<std::int64_t>(packetBits / sending.cluster.targetBps * 1e9);
        if (sending.sent == 0 || std::exchange(sending.paused, false)) {
            sending.nextAt = std::max(sending.nextAt, at - spacing);
        }
        for (; sending.sent < sending.packets && sending.nextAt <= at; ++sending.sent) {
            if (GstBuffer* packet = probePacket(sending.cluster.id, ssrc)) {
                gst_pad_push(pad, packet);
            }
            sending.nextAt += spacing;
        }
        gst_object_unref(pad);
        if (sending.sent >= sending.packets) {
            constexpr std::size_t kept = 16;
            completed_.push_back(sending.cluster.id);
            if (completed_.size() > kept) {
                completed_.pop_front();
            }
            clusters_.pop_front();
            continue;
        }
        schedule(sending.nextAt);
        return;
    }
}

bool GstProbeSender::completed(int id) const {
    QUILLORY_CHECK_ON(queue_);
    return std::find(completed_.begin(), completed_.end(), id) != completed_.end();
}

std::vector<ProbeCluster> GstProbeSender::takeCutShort() {
    QUILLORY_CHECK_ON(queue_);
    return std::exchange(cutShort_, {});
}

void GstProbeSender::close() {
    QUILLORY_CHECK_ON(queue_);
    closed_ = true;
    clusters_.clear();
    timer_.cancel();
    release();
}

}  // namespace quillory
