#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quillory::testing {

// A shaping UDP relay between a sending and an answering peer on loopback. Both descriptions are
// rewritten so that each side sees one candidate on a relay port of its own; the relay forwards
// both ways and shapes the sender → answerer direction (loss, rate cap with a bounded queue, tail
// drop) and both directions (added delay, blackout). Shaping may change while it runs. One
// thread of its own, joined by the destructor.
class UdpRelay {
  public:
    struct Shaping {
        double lossFraction = 0;        // sender → answerer, seeded
        double delaySeconds = 0;        // each way
        std::optional<double> rateBps;  // sender → answerer
        bool blackout = false;          // drops everything, both ways
    };
    struct Counters {
        std::uint64_t forwardedToAnswerer = 0;
        std::uint64_t forwardedToSender = 0;
        std::uint64_t bytesToAnswerer = 0;
        std::uint64_t lost = 0;
        std::uint64_t queueDrops = 0;
        // Of queueDrops, those of the retransmission stream, probes included.
        std::uint64_t retransmissionQueueDrops = 0;
        // Probe packets (padding alone on the retransmission stream) that reached the relay, and
        // of queueDrops those that were probes.
        std::uint64_t probes = 0;
        std::uint64_t probeQueueDrops = 0;
        std::uint64_t blackoutDrops = 0;
    };
    // The longest the rate cap lets packets wait before it drops new ones.
    static constexpr double queueSeconds = 0.25;

    // None when the loopback sockets cannot be bound.
    static std::unique_ptr<UdpRelay> create(std::uint32_t seed = 1);
    ~UdpRelay();
    UdpRelay(const UdpRelay&) = delete;
    UdpRelay& operator=(const UdpRelay&) = delete;

    // The sender's offer as the answerer should see it; learns where the sender listens. Empty
    // when it has no UDP candidate.
    std::string rewriteOffer(const std::string& sdp);
    // The answer as the sender should see it; learns where the answerer listens.
    std::string rewriteAnswer(const std::string& sdp);

    void setShaping(const Shaping& shaping);
    Counters counters() const;
    // A packet the rate cap dropped: when, on the steady clock, whether it was of the
    // retransmission stream or a probe, and whether it was lost to probes: without the probe
    // packets queued ahead of it, it would have fit. The latest `dropsKept`.
    struct Drop {
        double atSeconds = 0;
        bool retransmission = false;
        bool probe = false;
        bool lostToProbes = false;
    };
    static constexpr std::size_t dropsKept = 100'000;
    std::vector<Drop> queueDrops() const;
    // How long each packet the rate cap let in waits in its queue, by when it arrived on the
    // steady clock: the queueing delay the path adds. The latest `dropsKept`.
    struct QueueWait {
        double atSeconds = 0;
        double seconds = 0;
    };
    std::vector<QueueWait> queueWaits() const;
    // The longest wait since the last call, for a running report of the queue.
    double takeLongestWait();

    struct Private {};
    UdpRelay(Private, int senderSide, int answererSide, std::uint16_t senderSidePort,
             std::uint16_t answererSidePort, std::uint32_t seed);

  private:
    struct Packet {
        std::vector<std::uint8_t> bytes;
        double departure = 0;
        bool toAnswerer = true;
    };
    static std::optional<std::string> rewrite(const std::string& sdp, std::uint16_t port,
                                              std::uint16_t& learnedPort);
    std::string rewriteAndLearn(const std::string& sdp, std::uint16_t relayPort,
                                std::uint16_t& peerPort);
    bool inRetransmissionStream(const std::vector<std::uint8_t>& bytes) const;
    static bool padded(const std::vector<std::uint8_t>& bytes);
    void run(const std::stop_token& stop);
    void arrived(std::vector<std::uint8_t> bytes, bool toAnswerer, double now);
    void departDue(double now);

    const int senderSide_;    // faces the sender, stands for the answerer
    const int answererSide_;  // faces the answerer, stands for the sender
    const std::uint16_t senderSidePort_;
    const std::uint16_t answererSidePort_;

    mutable std::mutex mutex_;
    Shaping shaping_;
    Counters counters_;
    std::uint16_t senderPort_ = 0;
    std::uint16_t answererPort_ = 0;
    std::set<std::uint8_t> retransmissionPayloadTypes_;
    std::deque<Drop> queueDrops_;
    std::deque<QueueWait> queueWaits_;
    double longestWait_ = 0;

    // Relay thread only.
    std::mt19937 random_;
    std::deque<Packet> toAnswerer_;
    std::deque<Packet> toSender_;
    double capFreeAt_ = 0;
    // The probe packets in the cap's queue: when each leaves it, and its size.
    std::deque<std::pair<double, std::size_t>> queuedProbes_;
    std::jthread thread_;
};

}  // namespace quillory::testing
