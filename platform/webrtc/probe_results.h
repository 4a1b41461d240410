#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "platform/webrtc/transport_feedback.h"

namespace quillory {

// What one probe carried: the lower of the rate it left at and the rate it arrived at.
struct ProbeResult {
    int cluster = 0;
    double bitsPerSecond = 0;
    // The path took the probe more slowly than it left: it found the path's limit. A probe that
    // could not leave at its aim, on a busy sender, found nothing of the kind.
    bool pathLimited = false;
};

// What one probe's result says of the path, decided here for every reader of it.
enum class ProbeReading {
    // A busy sender could not send it at its aim: it measured nothing, and may go again.
    sentShort,
    // The path seemed to slow it well below the rate the stream's own clean feedback stands by:
    // a busy receiver's timing of one short burst. It says nothing, and is not sent again into
    // what may be a full queue.
    misread,
    // The path slowed it: what it carried is a reading of the path's limit.
    limitReading,
    // It got through at its aim: the path has room at least that high, and a probe may go higher.
    gotThrough,
};
// A probe that left within this share of its aim left as meant; a limit reading under this share
// of the estimate contradicts the stream's own feedback.
constexpr double probeAimShare = 0.9;
ProbeReading readProbe(const ProbeResult& result, double targetBps, double estimateBps);

// Measures probes from transport-wide feedback: each probe packet is noted as it leaves with its
// transport-wide sequence number, and so is any other packet that leaves while a cluster does;
// once feedback has covered a cluster's packets, the bytes from its first packet to its last over
// the send and the receive intervals give what the path carried. Not thread-safe.
class ProbeResults {
  public:
    // A receive rate under this share of the send rate shows the path's limit; only most of it
    // is taken, since the receiver's clock reads a burst's arrivals somewhat close.
    static constexpr double limitedShare = 0.9;
    static constexpr double limitedUse = 0.95;
    // Fewer packets than this, sent or received, say nothing of a rate.
    static constexpr std::size_t fewestMeasuredPackets = 4;
    // A cluster without feedback this long after its last packet is forgotten.
    static constexpr std::int64_t forgetNanoseconds = 2'000'000'000;

    // A packet of the stream this close after a probe packet may lie inside its cluster, which
    // the sender spreads over a shorter time but may pause for a burst.
    static constexpr std::int64_t clusterReachNanoseconds = 20'000'000;

    void sent(int cluster, std::uint16_t sequence, std::size_t bytes, std::int64_t at);
    // A packet of the stream left.
    void otherSent(std::uint16_t sequence, std::size_t bytes, std::int64_t at);
    // Adds the probe packets the feedback reports lost to its received ones: a probe that
    // overshoots the path loses only itself, and that is no loss of the stream.
    void countProbesReceived(TransportFeedback& feedback) const;
    // Returns the clusters the feedback completes.
    std::vector<ProbeResult> feedback(const TransportFeedback& feedback);

  private:
    struct Packet {
        int cluster = 0;  // none: of the stream
        std::size_t bytes = 0;
        std::int64_t sentAt = 0;
        std::optional<std::int64_t> arrivedMicroseconds;
        bool reported = false;
    };
    static constexpr int streamPacket = 0;
    std::optional<ProbeResult> measure(int cluster) const;
    void forget(int cluster);
    void note(int cluster, std::uint16_t sequence, std::size_t bytes, std::int64_t at);

    std::map<std::int64_t, Packet> packets_;  // by unwrapped sequence
    std::optional<std::int64_t> lastSequence_;
    std::optional<std::int64_t> lastProbeAt_;
};

}  // namespace quillory
