#include "platform/webrtc/probe_results.h"

#include <algorithm>
#include <set>

namespace quillory {

ProbeReading readProbe(const ProbeResult& result, double targetBps, double estimateBps) {
    if (result.pathLimited) {
        return result.bitsPerSecond >= estimateBps * probeAimShare ? ProbeReading::limitReading
                                                                   : ProbeReading::misread;
    }
    return result.bitsPerSecond >= targetBps * probeAimShare ? ProbeReading::gotThrough
                                                             : ProbeReading::sentShort;
}

void ProbeResults::note(int cluster, std::uint16_t sequence, std::size_t bytes, std::int64_t at) {
    const std::int64_t unwrapped = unwrapSequence(sequence, lastSequence_.value_or(sequence));
    lastSequence_ = unwrapped;
    packets_[unwrapped] = Packet{.cluster = cluster, .bytes = bytes, .sentAt = at};
    // Clusters whose feedback never came.
    while (!packets_.empty() && at - packets_.begin()->second.sentAt > forgetNanoseconds) {
        packets_.erase(packets_.begin());
    }
}

void ProbeResults::sent(int cluster, std::uint16_t sequence, std::size_t bytes, std::int64_t at) {
    lastProbeAt_ = at;
    note(cluster, sequence, bytes, at);
}

void ProbeResults::otherSent(std::uint16_t sequence, std::size_t bytes, std::int64_t at) {
    if (lastProbeAt_ && at - *lastProbeAt_ <= clusterReachNanoseconds) {
        note(streamPacket, sequence, bytes, at);
    }
}

// The cluster's packets and the stream's before its last.
void ProbeResults::forget(int cluster) {
    std::optional<std::int64_t> last;
    for (const auto& [sequence, packet] : packets_) {
        if (packet.cluster == cluster) {
            last = sequence;
        }
    }
    std::erase_if(packets_, [cluster, last](const auto& entry) {
        return entry.second.cluster == cluster ||
               (entry.second.cluster == streamPacket && last && entry.first < *last);
    });
}

void ProbeResults::countProbesReceived(TransportFeedback& feedback) const {
    if (!lastSequence_ || packets_.empty()) {
        return;
    }
    const std::int64_t base = unwrapSequence(feedback.baseSequence, *lastSequence_);
    std::set<std::uint16_t> received;
    for (const TransportFeedback::Packet& packet : feedback.received) {
        received.insert(packet.sequence);
    }
    for (auto packet = packets_.lower_bound(base);
         packet != packets_.end() &&
         packet->first < base + static_cast<std::int64_t>(feedback.packetCount);
         ++packet) {
        const auto sequence = static_cast<std::uint16_t>(packet->first);
        if (packet->second.cluster != streamPacket && !received.contains(sequence)) {
            feedback.received.push_back({.sequence = sequence});
        }
    }
}

std::vector<ProbeResult> ProbeResults::feedback(const TransportFeedback& feedback) {
    if (!lastSequence_ || packets_.empty()) {
        return {};
    }
    const std::int64_t base = unwrapSequence(feedback.baseSequence, *lastSequence_);
    std::set<int> touched;
    for (std::int64_t sequence = base;
         sequence < base + static_cast<std::int64_t>(feedback.packetCount); ++sequence) {
        if (const auto packet = packets_.find(sequence); packet != packets_.end()) {
            packet->second.reported = true;
            if (packet->second.cluster != streamPacket) {
                touched.insert(packet->second.cluster);
            }
        }
    }
    for (const TransportFeedback::Packet& received : feedback.received) {
        const auto packet = packets_.find(unwrapSequence(received.sequence, base));
        if (packet != packets_.end()) {
            packet->second.arrivedMicroseconds = received.arrivalMicroseconds;
        }
    }
    std::vector<ProbeResult> results;
    for (const int cluster : touched) {
        const bool complete = std::all_of(packets_.begin(), packets_.end(), [cluster](auto& entry) {
            return entry.second.cluster != cluster || entry.second.reported;
        });
        if (!complete) {
            continue;
        }
        if (auto result = measure(cluster)) {
            results.push_back(*result);
        }
        forget(cluster);
    }
    return results;
}

std::optional<ProbeResult> ProbeResults::measure(int cluster) const {
    std::optional<std::int64_t> first;
    std::optional<std::int64_t> last;
    std::size_t probePackets = 0;
    for (const auto& [sequence, packet] : packets_) {
        if (packet.cluster == cluster) {
            first = first.value_or(sequence);
            last = sequence;
            ++probePackets;
        }
    }
    if (!first || probePackets < fewestMeasuredPackets) {
        return std::nullopt;
    }
    // From the cluster's first packet to its last, the stream's packets between took the path
    // too.
    std::size_t sentBytes = 0;
    std::size_t lastSentBytes = 0;
    std::int64_t firstSent = 0;
    std::int64_t lastSent = 0;
    std::vector<std::pair<std::int64_t, std::size_t>> arrivals;
    for (auto packet = packets_.find(*first); packet != packets_.end() && packet->first <= *last;
         ++packet) {
        const Packet& sent = packet->second;
        if (sent.cluster != cluster && sent.cluster != streamPacket) {
            continue;
        }
        if (sentBytes == 0 || sent.sentAt < firstSent) {
            firstSent = sent.sentAt;
        }
        if (sentBytes == 0 || sent.sentAt >= lastSent) {
            lastSent = sent.sentAt;
            lastSentBytes = sent.bytes;
        }
        sentBytes += sent.bytes;
        if (sent.arrivedMicroseconds) {
            arrivals.emplace_back(*sent.arrivedMicroseconds, sent.bytes);
        }
    }
    if (arrivals.size() < fewestMeasuredPackets) {
        return std::nullopt;
    }
    std::sort(arrivals.begin(), arrivals.end());
    // Over an interval, the bytes that filled it: not the last packet sent, which ends the send
    // interval, nor the first received, which starts the receive interval.
    const double sendSeconds = static_cast<double>(lastSent - firstSent) / 1e9;
    const double receiveSeconds =
        static_cast<double>(arrivals.back().first - arrivals.front().first) / 1e6;
    if (sendSeconds <= 0 || receiveSeconds <= 0) {
        return std::nullopt;
    }
    std::size_t receivedBytes = 0;
    for (const auto& [at, bytes] : arrivals) {
        receivedBytes += bytes;
    }
    const double sendRate = static_cast<double>(sentBytes - lastSentBytes) * 8.0 / sendSeconds;
    const double receiveRate =
        static_cast<double>(receivedBytes - arrivals.front().second) * 8.0 / receiveSeconds;
    const bool pathLimited = receiveRate < sendRate * limitedShare;
    const double carried = pathLimited ? receiveRate * limitedUse : sendRate;
    return ProbeResult{.cluster = cluster,
                       .bitsPerSecond = std::min(carried, receiveRate),
                       .pathLimited = pathLimited};
}

}  // namespace quillory
