#include "platform/webrtc/gstreamer/sender_statistics.h"

#include <algorithm>
#include <cctype>

namespace quillory {

namespace {

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

StudioStatistics* entryWithId(StudioStatisticsReport& report, const std::string* id) {
    if (id == nullptr) {
        return nullptr;
    }
    const auto found = std::find_if(report.statistics.begin(), report.statistics.end(),
                                    [&](const StudioStatistics& entry) { return entry.id == *id; });
    return found == report.statistics.end() ? nullptr : &*found;
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
        if (entry.type == "candidate-pair") {
            const StudioStatistics* local = entryWithId(report, text(entry, "localCandidateId"));
            const StudioStatistics* remote = entryWithId(report, text(entry, "remoteCandidateId"));
            if (local != nullptr && remote != nullptr && local->type == "remote-candidate" &&
                remote->type == "local-candidate") {
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
