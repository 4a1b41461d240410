#include "media/studio_interval_sampler.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace quillory {

namespace {

constexpr double maximumGapSeconds = 3.0;
constexpr double maximumFrames = 1000.0;

}  // namespace

std::optional<double> StudioIntervalSampler::delta(const std::string& key,
                                                   const std::map<std::string, double>& current,
                                                   const std::map<std::string, double>& previous) {
    const auto now = current.find(key);
    const auto before = previous.find(key);
    if (now == current.end() || before == previous.end()) {
        return std::nullopt;
    }
    if (!std::isfinite(now->second) || !std::isfinite(before->second) ||
        before->second > now->second) {
        return std::nullopt;
    }
    return now->second - before->second;
}

std::optional<StudioMediaInterval> StudioIntervalSampler::interval(
    const StudioStatisticsReport& report, bool outbound, double receivedAt) {
    const std::string type = outbound ? "outbound-rtp" : "inbound-rtp";
    const std::string frameCounter = outbound ? "framesEncoded" : "framesDecoded";
    const auto entry = std::find_if(report.statistics.begin(), report.statistics.end(),
                                    [&](const StudioStatistics& s) {
                                        return s.type == type && s.values.contains(frameCounter);
                                    });
    if (entry == report.statistics.end()) {
        return std::nullopt;
    }

    std::optional<Previous> old = std::move(previous_);
    previous_ = Previous{entry->id, entry->timestampMicroseconds / 1'000'000.0, receivedAt,
                         numericValues(entry->values)};
    const Previous& current = *previous_;
    if (!old || old->id != current.id || !(old->time < current.time) ||
        current.time - old->time > maximumGapSeconds) {
        return std::nullopt;
    }

    const auto change = [&](const char* key) { return delta(key, current.values, old->values); };
    const std::optional<double> frames = change(frameCounter.c_str());
    if (!frames || *frames > maximumFrames) {
        return std::nullopt;
    }
    // Mean of a total per unit of a counter, in milliseconds when the total is in seconds.
    const auto mean = [&](const char* total, const char* count,
                          double scale) -> std::optional<double> {
        const std::optional<double> sum = change(total);
        const std::optional<double> units = change(count);
        if (!sum || !units || !(*units > 0.0)) {
            return std::nullopt;
        }
        return *sum * scale / *units;
    };

    StudioMediaInterval result;
    result.windowStart = old->receivedAt;
    result.windowEnd = receivedAt;
    result.seconds = current.time - old->time;
    result.frames = static_cast<int>(*frames);
    result.fps = *frames / result.seconds;
    result.encodeMS = mean("totalEncodeTime", "framesEncoded", 1000.0);
    result.queueMS = mean("totalPacketSendDelay", "packetsSent", 1000.0);
    result.decodeMS = mean("totalDecodeTime", "framesDecoded", 1000.0);
    result.bufferMS = mean("jitterBufferDelay", "jitterBufferEmittedCount", 1000.0);
    if (const std::optional<double> qpSum = change("qpSum"); qpSum && *frames > 0.0) {
        result.meanQP = *qpSum / *frames;
    }
    const std::optional<double> bytes = change("bytesSent");
    const std::optional<double> retransmitted = change("retransmittedBytesSent");
    if (bytes && retransmitted && *retransmitted <= *bytes) {
        result.retransmissionFraction = *bytes > 0.0 ? *retransmitted / *bytes : 0.0;
    }
    if (const std::optional<double> packets = change("packetsSent")) {
        result.sentPackets = static_cast<int>(std::min(*packets, double{INT_MAX}));
    }
    result.sentBytes = bytes;
    return result;
}

}  // namespace quillory
