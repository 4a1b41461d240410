#include "platform/webrtc/gstreamer/sender_statistics.h"

#include <algorithm>
#include <cctype>
#include <string_view>

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

void foldOutbound(StudioStatisticsReport& report, std::uint32_t mediaSsrc) {
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
    double retransmittedPackets = number(*media, "retransmittedPacketsSent");
    double retransmittedBytes = number(*media, "retransmittedBytesSent");
    for (const StudioStatistics& entry : entries) {
        if (&entry == &*media || entry.type != "outbound-rtp") {
            continue;
        }
        retransmittedPackets += number(entry, "packetsSent");
        retransmittedBytes += number(entry, "bytesSent");
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

StudioStatisticsReport SenderStatistics::complete(StudioStatisticsReport report,
                                                  const SenderCounters& counters,
                                                  std::uint32_t mediaSsrc) {
    foldOutbound(report, mediaSsrc);

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
            values["qpSum"] = counters.qpSum;
            values["frameWidth"] = counters.frameWidth;
            values["frameHeight"] = counters.frameHeight;
            values["framesSent"] = counters.framesSent;
            values["hugeFramesSent"] = counters.hugeFramesSent;
            values["targetBitrate"] = counters.targetBitrate;
            values["totalPacketSendDelay"] = counters.totalPacketSendDelay;
            values["firCount"] = counters.firCount;
        }
    }
    return report;
}

}  // namespace quillory
