#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/webrtc/studio_statistics_report.h"

namespace quillory {

struct SentTotals {
    double packets = 0;
    double bytes = 0;
};

// What the sender counts itself, cumulative over the transport's life (encoder restarts
// included): webrtcbin knows nothing of our encoder. Not thread-safe.
struct SenderCounters {
    // One access unit as it entered the transport.
    struct EncodedFrame {
        std::uint32_t rtpTimestamp = 0;
        std::int64_t pushedAtNanoseconds = 0;
        std::size_t bytes = 0;
        bool key = false;
        std::optional<int> qp;
        double encodeSeconds = 0;
        int width = 0;
        int height = 0;
    };

    // The rate the encoder was last given, which tells a huge frame.
    void encoderConfigured(double bitsPerSecond, int framesPerSecond);
    void frameEncoded(const EncodedFrame& frame);
    // The packetizer emitted a packet of the frame: the frame's send delay counts from its first.
    void framePacketized(std::uint32_t rtpTimestamp, std::int64_t atNanoseconds);
    // One RTP packet as it leaves the transport: a frame is sent with its marked last packet.
    // Retransmissions (another SSRC; never probes) are counted and add their send delay.
    void packetLeft(std::uint32_t ssrc, std::uint32_t mediaSsrc, std::uint32_t rtpTimestamp,
                    bool marker, std::size_t bytes, std::int64_t atNanoseconds);
    // Media bytes that left since the last call, as a rate over the time between the calls.
    std::optional<double> takeSentBitsPerSecond(std::int64_t atNanoseconds);

    double framesEncoded = 0;
    double keyFramesEncoded = 0;
    double totalEncodeTime = 0;  // seconds
    double qpSum = 0;
    double framesWithQp = 0;  // the frames qpSum adds up
    double frameWidth = 0;
    double frameHeight = 0;
    double framesSent = 0;
    double hugeFramesSent = 0;
    double targetBitrate = 0;
    // The bandwidth estimate, once feedback or a receiver report has measured one.
    std::optional<double> availableOutgoingBitrate;
    // Seconds packets waited between the packetizer and the socket.
    double totalPacketSendDelay = 0;
    double firCount = 0;
    // Frames lost because the encoder had not finished the ones before (held back by the CPU).
    double framesDroppedBusy = 0;
    // The estimate rather than the sender's own cap sets the rate of a stream that uses it.
    bool bandwidthLimited = false;
    SentTotals retransmitted;  // as they left

  private:
    struct Pushed {
        std::int64_t at = 0;
        std::optional<std::int64_t> packetizedAt;
        bool huge = false;
        bool sent = false;
    };
    std::map<std::uint32_t, Pushed> pushed_;  // by RTP timestamp
    int framesPerSecond_ = 0;
    double bytesOut_ = 0;
    std::optional<std::int64_t> bytesSince_;
};

// Turns webrtcbin's report into the one the interval sampler reads: exactly one outbound-rtp
// entry (the media SSRC's, with retransmissions folded in) under a stable id with strictly
// rising timestamps and our counters; the receiver report's jitter in seconds and its round trip
// time on the candidate pair (absent, never 0, before a report with a timestamp echo); format
// lines without their payload type; candidates filed under their own side, as their ids say, and
// pairs pointing at them that way. What we cannot measure stays absent: the available bitrate
// before a measurement, the QP sum unless every encoded frame had one. The quality limitation
// reads "cpu" when frames were lost to a busy encoder since the last report, else "bandwidth"
// while the estimate holds the stream back, else "none". Not thread-safe: one report at a time.
class SenderStatistics {
  public:
    static constexpr double rtpClockRate = 90000.0;
    StudioStatisticsReport complete(StudioStatisticsReport report, const SenderCounters& counters,
                                    std::uint32_t mediaSsrc);

  private:
    void completeOutbound(StudioStatistics& entry, const SenderCounters& counters);

    std::optional<std::string> outboundId_;
    double lastTimestamp_ = 0;
    double framesDroppedBusy_ = 0;
};

}  // namespace quillory
