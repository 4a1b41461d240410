#include "platform/webrtc/gstreamer/sender_statistics.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace quillory {

namespace {

constexpr std::string_view localCandidatePrefix = "ice-candidate-local";
constexpr std::string_view remoteCandidatePrefix = "ice-candidate-remote";

double number(const StudioStatistics& entry, const std::string& name) {
    const auto value = entry.values.find(name);
    if (value == entry.values.end()) {
        return 0;
    }
    if (const double* found = std::get_if<double>(&value->second)) {
        return *found;
    }
    return 0;
}

const std::string* text(const StudioStatistics& entry, const std::string& name) {
    const auto value = entry.values.find(name);
    return value == entry.values.end() ? nullptr : std::get_if<std::string>(&value->second);
}

void foldOutbound(StudioStatisticsReport& report, std::uint32_t mediaSsrc,
                  const SentTotals& retransmitted) {
    auto& entries = report.statistics;
    auto media = std::find_if(entries.begin(), entries.end(), [&](const StudioStatistics& entry) {
        return entry.type == "outbound-rtp" && number(entry, "ssrc") == mediaSsrc;
    });
    if (media == entries.end()) {
        media = std::find_if(entries.begin(), entries.end(),
                             [](const auto& entry) { return entry.type == "outbound-rtp"; });
    }
    if (media == entries.end()) {
        return;
    }
    // Not the session's count of the retransmission stream: it counts the probes sent on it
    // too, and starts from nothing again when the stream comes back after the session forgot it.
    const double foldedPackets = retransmitted.packets - number(*media, "retransmittedPacketsSent");
    const double foldedBytes = retransmitted.bytes - number(*media, "retransmittedBytesSent");
    media->values["retransmittedPacketsSent"] = retransmitted.packets;
    media->values["retransmittedBytesSent"] = retransmitted.bytes;
    media->values["packetsSent"] = number(*media, "packetsSent") + foldedPackets;
    media->values["bytesSent"] = number(*media, "bytesSent") + foldedBytes;
    const StudioStatistics* kept = &*media;
    std::erase_if(entries, [&](const StudioStatistics& entry) {
        return entry.type == "outbound-rtp" && &entry != kept;
    });
}

void setOrErase(StudioStatistics& entry, const std::string& name, double value, bool known) {
    if (known) {
        entry.values[name] = value;
    } else {
        entry.values.erase(name);
    }
}

// The jitter in seconds; the round trip, which 0 leaves out: no report with a timestamp echo
// has arrived yet.
std::optional<double> readRemoteInbound(StudioStatistics& entry) {
    if (entry.values.contains("rbJitter")) {
        entry.values["jitter"] = number(entry, "rbJitter") / SenderStatistics::rtpClockRate;
    }
    const double rtt = number(entry, "roundTripTime");
    setOrErase(entry, "roundTripTime", rtt, rtt > 0);
    return rtt > 0 ? std::optional<double>(rtt) : std::nullopt;
}

// "96 profile-level-id=..." becomes "profile-level-id=...".
void dropFormatPayloadType(StudioStatistics& entry) {
    const std::string* line = text(entry, "sdpFmtpLine");
    if (line == nullptr) {
        return;
    }
    const auto digits = static_cast<std::size_t>(
        std::find_if(line->begin(), line->end(),
                     [](char c) { return !std::isdigit(static_cast<unsigned char>(c)); }) -
        line->begin());
    if (digits > 0 && digits < line->size() && (*line)[digits] == ' ') {
        entry.values["sdpFmtpLine"] = line->substr(digits + 1);
    }
}

void completePair(StudioStatistics& entry, std::optional<double> roundTrip,
                  std::optional<double> availableOutgoingBitrate) {
    // webrtcbin 1.22 files each candidate under the other side's type and points the pair's ids
    // the same wrong way; the ids themselves name the right side.
    const std::string* local = text(entry, "localCandidateId");
    const std::string* remote = text(entry, "remoteCandidateId");
    if (local != nullptr && remote != nullptr && local->starts_with(remoteCandidatePrefix) &&
        remote->starts_with(localCandidatePrefix)) {
        std::swap(entry.values["localCandidateId"], entry.values["remoteCandidateId"]);
    }
    setOrErase(entry, "currentRoundTripTime", roundTrip.value_or(0), roundTrip.has_value());
    setOrErase(entry, "availableOutgoingBitrate", availableOutgoingBitrate.value_or(0),
               availableOutgoingBitrate.has_value());
}

}  // namespace

void SenderCounters::encoderConfigured(double bitsPerSecond, int framesPerSecond) {
    targetBitrate = bitsPerSecond;
    framesPerSecond_ = framesPerSecond;
}

void SenderCounters::frameEncoded(const EncodedFrame& frame) {
    framesEncoded += 1;
    keyFramesEncoded += frame.key ? 1 : 0;
    totalEncodeTime += frame.encodeSeconds;
    if (frame.qp) {
        qpSum += *frame.qp;
        framesWithQp += 1;
    }
    frameWidth = frame.width;
    frameHeight = frame.height;
    const double averageFrameBits = targetBitrate / (framesPerSecond_ > 0 ? framesPerSecond_ : 30);
    const bool huge =
        averageFrameBits > 0 && static_cast<double>(frame.bytes) * 8.0 >= 2.5 * averageFrameBits;
    const std::int64_t at = frame.pushedAtNanoseconds;
    pushed_[frame.rtpTimestamp] = Pushed{.at = at, .huge = huge};
    std::erase_if(pushed_,
                  [at](const auto& entry) { return at - entry.second.at > 2'000'000'000; });
}

void SenderCounters::framePacketized(std::uint32_t rtpTimestamp, std::int64_t atNanoseconds) {
    if (const auto frame = pushed_.find(rtpTimestamp);
        frame != pushed_.end() && !frame->second.packetizedAt) {
        frame->second.packetizedAt = atNanoseconds;
    }
}

void SenderCounters::packetLeft(std::uint32_t ssrc, std::uint32_t mediaSsrc,
                                std::uint32_t rtpTimestamp, bool marker, std::size_t bytes,
                                std::int64_t atNanoseconds) {
    const bool media = ssrc == mediaSsrc;
    if (media) {
        bytesOut_ += static_cast<double>(bytes);
    } else {
        retransmitted.packets += 1;
        retransmitted.bytes += static_cast<double>(bytes);
    }
    const auto frame = pushed_.find(rtpTimestamp);
    if (frame == pushed_.end()) {
        return;
    }
    // Waiting to be encoded into packets is no send delay; a frame whose packetizing went unseen
    // counts from its push.
    const std::int64_t from = frame->second.packetizedAt.value_or(frame->second.at);
    totalPacketSendDelay += static_cast<double>(atNanoseconds - from) / 1e9;
    if (media && marker && !frame->second.sent) {
        frame->second.sent = true;
        framesSent += 1;
        hugeFramesSent += frame->second.huge ? 1 : 0;
    }
}

std::optional<double> SenderCounters::takeSentBitsPerSecond(std::int64_t atNanoseconds) {
    const std::optional<std::int64_t> since = std::exchange(bytesSince_, atNanoseconds);
    const double bytes = std::exchange(bytesOut_, 0.0);
    if (!since || atNanoseconds <= *since) {
        return std::nullopt;
    }
    return bytes * 8.0 / (static_cast<double>(atNanoseconds - *since) / 1e9);
}

StudioStatisticsReport SenderStatistics::complete(StudioStatisticsReport report,
                                                  const SenderCounters& counters,
                                                  std::uint32_t mediaSsrc) {
    foldOutbound(report, mediaSsrc, counters.retransmitted);
    // The pairs take the round trip from the receiver report, wherever it stands in the list.
    std::optional<double> roundTrip;
    for (StudioStatistics& entry : report.statistics) {
        if (entry.type == "remote-inbound-rtp") {
            if (const auto rtt = readRemoteInbound(entry)) {
                roundTrip = rtt;
            }
        } else if (entry.type == "codec") {
            dropFormatPayloadType(entry);
        }
    }
    for (StudioStatistics& entry : report.statistics) {
        if (entry.id.starts_with(localCandidatePrefix)) {
            entry.type = "local-candidate";
        } else if (entry.id.starts_with(remoteCandidatePrefix)) {
            entry.type = "remote-candidate";
        } else if (entry.type == "candidate-pair") {
            completePair(entry, roundTrip, counters.availableOutgoingBitrate);
        } else if (entry.type == "outbound-rtp") {
            completeOutbound(entry, counters);
        }
    }
    return report;
}

void SenderStatistics::completeOutbound(StudioStatistics& entry, const SenderCounters& counters) {
    if (!outboundId_) {
        outboundId_ = entry.id;
    }
    entry.id = *outboundId_;
    entry.timestampMicroseconds = std::max(entry.timestampMicroseconds, lastTimestamp_ + 1);
    lastTimestamp_ = entry.timestampMicroseconds;
    auto& values = entry.values;
    values["framesEncoded"] = counters.framesEncoded;
    values["keyFramesEncoded"] = counters.keyFramesEncoded;
    values["totalEncodeTime"] = counters.totalEncodeTime;
    // The mean QP is the sum over the frames encoded: a frame without one would falsify it.
    setOrErase(entry, "qpSum", counters.qpSum,
               counters.framesEncoded > 0 && counters.framesWithQp == counters.framesEncoded);
    values["framesSent"] = counters.framesSent;
    values["hugeFramesSent"] = counters.hugeFramesSent;
    values["totalPacketSendDelay"] = counters.totalPacketSendDelay;
    values["firCount"] = counters.firCount;
    // No size before the first frame, no target before the encoder has one.
    setOrErase(entry, "frameWidth", counters.frameWidth, counters.framesEncoded > 0);
    setOrErase(entry, "frameHeight", counters.frameHeight, counters.framesEncoded > 0);
    setOrErase(entry, "targetBitrate", counters.targetBitrate, counters.targetBitrate > 0);
    if (counters.framesEncoded > 0) {
        const bool busy = counters.framesDroppedBusy > framesDroppedBusy_;
        values["qualityLimitationReason"] =
            std::string(busy ? "cpu" : (counters.bandwidthLimited ? "bandwidth" : "none"));
    }
    framesDroppedBusy_ = counters.framesDroppedBusy;
}

}  // namespace quillory
