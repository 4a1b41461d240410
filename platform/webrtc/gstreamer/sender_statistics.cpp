#include "platform/webrtc/gstreamer/sender_statistics.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <tuple>
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
                  std::map<std::uint32_t, std::pair<double, double>>& retransmissions) {
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
    // The session forgets a retransmission stream that has been quiet for a while, and its
    // entry leaves the report: its totals are kept, so that the counters never fall back.
    const auto ssrcOf = [](const StudioStatistics& entry) {
        return static_cast<std::uint32_t>(number(entry, "ssrc"));
    };
    for (const StudioStatistics& entry : entries) {
        if (&entry != &*media && entry.type == "outbound-rtp") {
            auto& [packets, bytes] = retransmissions[ssrcOf(entry)];
            packets = std::max(packets, number(entry, "packetsSent"));
            bytes = std::max(bytes, number(entry, "bytesSent"));
        }
    }
    double retransmittedPackets = number(*media, "retransmittedPacketsSent");
    double retransmittedBytes = number(*media, "retransmittedBytesSent");
    for (const auto& [ssrc, totals] : retransmissions) {
        if (ssrc != ssrcOf(*media)) {
            retransmittedPackets += totals.first;
            retransmittedBytes += totals.second;
        }
    }
    const double ownPackets = number(*media, "packetsSent");
    const double ownBytes = number(*media, "bytesSent");
    const double foldedPackets = retransmittedPackets - number(*media, "retransmittedPacketsSent");
    const double foldedBytes = retransmittedBytes - number(*media, "retransmittedBytesSent");
    media->values["retransmittedPacketsSent"] = retransmittedPackets;
    media->values["retransmittedBytesSent"] = retransmittedBytes;
    media->values["packetsSent"] = ownPackets + foldedPackets;
    media->values["bytesSent"] = ownBytes + foldedBytes;
    const StudioStatistics* kept = &*media;
    std::erase_if(entries, [&](const StudioStatistics& entry) {
        return entry.type == "outbound-rtp" && &entry != kept;
    });
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
    foldOutbound(report, mediaSsrc, retransmissions_);

    std::optional<double> roundTrip;
    for (StudioStatistics& entry : report.statistics) {
        if (entry.type == "remote-inbound-rtp") {
            if (entry.values.contains("rbJitter")) {
                entry.values["jitter"] = number(entry, "rbJitter") / rtpClockRate;
            }
            // 0 means no report with a timestamp echo has arrived yet.
            if (const double rtt = number(entry, "roundTripTime"); rtt > 0) {
                roundTrip = rtt;
            } else {
                entry.values.erase("roundTripTime");
            }
        } else if (entry.type == "codec") {
            if (const std::string* line = text(entry, "sdpFmtpLine")) {
                const std::size_t digits = static_cast<std::size_t>(
                    std::find_if(
                        line->begin(), line->end(),
                        [](char c) { return !std::isdigit(static_cast<unsigned char>(c)); }) -
                    line->begin());
                if (digits > 0 && digits < line->size() && (*line)[digits] == ' ') {
                    entry.values["sdpFmtpLine"] = line->substr(digits + 1);
                }
            }
        }
    }

    for (StudioStatistics& entry : report.statistics) {
        if (entry.id.starts_with(localCandidatePrefix)) {
            entry.type = "local-candidate";
        } else if (entry.id.starts_with(remoteCandidatePrefix)) {
            entry.type = "remote-candidate";
        } else if (entry.type == "candidate-pair") {
            // webrtcbin 1.22 files each candidate under the other side's type and points the
            // pair's ids the same wrong way; the ids themselves name the right side.
            const std::string* local = text(entry, "localCandidateId");
            const std::string* remote = text(entry, "remoteCandidateId");
            if (local != nullptr && remote != nullptr &&
                local->starts_with(remoteCandidatePrefix) &&
                remote->starts_with(localCandidatePrefix)) {
                std::swap(entry.values["localCandidateId"], entry.values["remoteCandidateId"]);
            }
            if (roundTrip) {
                entry.values["currentRoundTripTime"] = *roundTrip;
            } else {
                entry.values.erase("currentRoundTripTime");
            }
            if (counters.availableOutgoingBitrate) {
                entry.values["availableOutgoingBitrate"] = *counters.availableOutgoingBitrate;
            } else {
                entry.values.erase("availableOutgoingBitrate");
            }
        } else if (entry.type == "outbound-rtp") {
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
            // The mean QP is the sum over the frames encoded: a frame without one would
            // falsify it.
            if (counters.framesEncoded > 0 && counters.framesWithQp == counters.framesEncoded) {
                values["qpSum"] = counters.qpSum;
            } else {
                values.erase("qpSum");
            }
            values["framesSent"] = counters.framesSent;
            values["hugeFramesSent"] = counters.hugeFramesSent;
            values["totalPacketSendDelay"] = counters.totalPacketSendDelay;
            values["firCount"] = counters.firCount;
            // No size before the first frame, no target before the encoder has one.
            for (const auto& [name, value, known] :
                 {std::tuple{"frameWidth", counters.frameWidth, counters.framesEncoded > 0},
                  std::tuple{"frameHeight", counters.frameHeight, counters.framesEncoded > 0},
                  std::tuple{"targetBitrate", counters.targetBitrate,
                             counters.targetBitrate > 0}}) {
                if (known) {
                    values[name] = value;
                } else {
                    values.erase(name);
                }
            }
            if (counters.framesEncoded > 0) {
                const bool busy = counters.framesDroppedBusy > framesDroppedBusy_;
                values["qualityLimitationReason"] =
                    std::string(busy ? "cpu" : (counters.bandwidthLimited ? "bandwidth" : "none"));
            }
            framesDroppedBusy_ = counters.framesDroppedBusy;
        }
    }
    return report;
}

}  // namespace quillory
