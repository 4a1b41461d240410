#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/webrtc/studio_statistics_report.h"

namespace quillory {

// What the sender counts itself, cumulative over the transport's life (encoder restarts
// included): webrtcbin knows nothing of our encoder.
struct SenderCounters {
    double framesEncoded = 0;
    double keyFramesEncoded = 0;
    double totalEncodeTime = 0;  // seconds
    double qpSum = 0;
    double frameWidth = 0;
    double frameHeight = 0;
    double framesSent = 0;
    double hugeFramesSent = 0;
    double targetBitrate = 0;
    double totalPacketSendDelay = 0;  // seconds
    double firCount = 0;
};

// Turns webrtcbin's report into the one the interval sampler reads: exactly one outbound-rtp
// entry (the media SSRC's, with retransmissions folded in) under a stable id with strictly
// rising timestamps and our counters; the receiver report's jitter in seconds and its round trip
// time on the candidate pair (absent, never 0, before a report with a timestamp echo); format
// lines without their payload type; candidates filed under their own side, as their ids say, and
// pairs pointing at them that way. Not thread-safe: one report at a time.
class SenderStatistics {
  public:
    static constexpr double rtpClockRate = 90000.0;

    StudioStatisticsReport complete(StudioStatisticsReport report, const SenderCounters& counters,
                                    std::uint32_t mediaSsrc);

  private:
    std::optional<std::string> outboundId_;
    double lastTimestamp_ = 0;
};

}  // namespace quillory
