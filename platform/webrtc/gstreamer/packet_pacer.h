#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace quillory {

// Spreads a burst (a keyframe, a run of retransmissions) over time: packets leave at a multiple
// of the target bitrate, and faster when the media waiting would otherwise take longer than the
// longest delay to drain. A leaky bucket: each packet sent adds its bits as debt, which drains at
// the pacing rate; the next packet may leave once little debt is left. Timing only, on a clock
// the caller passes. Not thread-safe.
class PacketPacer {
  public:
    static constexpr double pacingFactor = 2.5;
    // Debt a packet may leave on: up to 10 ms of the pacing rate go together. A frame of a steady
    // stream at 60 fps, 6.7 ms of it, then leaves at once instead of being spread over that time,
    // which the receiver waits for; a keyframe or a run of retransmissions is larger and still
    // paced.
    static constexpr std::int64_t burstNanoseconds = 10'000'000;
    static constexpr std::int64_t defaultMaximumDelayNanoseconds = 100'000'000;
    // While a frame waits, a sender that got its turn late may send what fell due meanwhile, up to
    // this much of the rate: otherwise every late wake-up of a busy machine slows the pace.
    static constexpr std::int64_t catchUpNanoseconds = 10'000'000;

    PacketPacer(std::int64_t maximumDelayNanoseconds, double targetBitrateBps);

    void setTargetBitrate(double bitsPerSecond) { target_ = bitsPerSecond; }
    // A frame of `bytes` entered the send path at `at`; its packets follow, in order.
    void frameQueued(std::uint32_t rtpTimestamp, std::size_t bytes, std::int64_t at);
    // Nanoseconds from `now` until the next packet may leave; 0 when it may leave now.
    std::int64_t wait(std::int64_t now);
    // A packet left at `now`. A media packet counts off its frame, and frames queued before it
    // (dropped on the way) are forgotten; the marked last packet ends its frame.
    void mediaSent(std::size_t bytes, std::uint32_t rtpTimestamp, bool marker, std::int64_t now);
    void retransmissionSent(std::size_t bytes, std::int64_t now);

    // Bits per second at `now`: the target's multiple, or the rate that drains the queued frames
    // within the longest delay of the oldest one's arrival; unbounded once that has passed.
    double rateBps(std::int64_t now) const;
    std::size_t queuedBytes() const;

  private:
    struct Frame {
        std::uint32_t rtpTimestamp = 0;
        std::int64_t at = 0;
        std::size_t bytes = 0;
    };
    void drain(std::int64_t now);
    void charge(std::size_t bytes, std::int64_t now);

    const std::int64_t maximumDelay_;
    double target_;
    std::deque<Frame> frames_;  // oldest first
    double debtBits_ = 0;
    std::int64_t drainedAt_ = 0;
};

// The longest delay the "WebRTC-Video-Pacing" trial names ("max_delay:100ms"); none when the
// trial is absent or unreadable.
std::optional<std::int64_t> pacingDelayNanoseconds(
    const std::map<std::string, std::string>& fieldTrials);

// Holds each packet on the thread that pushes it until the pacer lets it go; a retransmission
// goes before media that waits. After close() every packet passes at once, so no streaming
// thread stays held while the pipeline stops; before it a wait ends within the longest delay.
class PacingGate {
  public:
    using Clock = std::function<std::int64_t()>;

    PacingGate(std::int64_t maximumDelayNanoseconds, double targetBitrateBps, Clock clock);

    void setTargetBitrate(double bitsPerSecond);
    void frameQueued(std::uint32_t rtpTimestamp, std::size_t bytes);
    // Blocks until the packet may leave and counts it as sent.
    void passMedia(std::size_t bytes, std::uint32_t rtpTimestamp, bool marker);
    void passRetransmission(std::size_t bytes);
    // More media waits than leaves at once: the pacer is spreading a burst, a keyframe or a run
    // of large frames, which fills the path's queue.
    bool burstWaiting();
    void close();

  private:
    // Under the lock; false once closed.
    bool waitForTurn(std::unique_lock<std::mutex>& lock, bool retransmission);

    const Clock clock_;
    std::mutex mutex_;
    std::condition_variable changed_;
    PacketPacer pacer_;
    int retransmissionsWaiting_ = 0;
    bool closed_ = false;
};

}  // namespace quillory
