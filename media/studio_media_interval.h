#pragma once

#include <optional>

namespace quillory {

// Rates and means of one RTP stream between two statistics reports. Window times are system
// uptime in seconds; `seconds` is measured by the reports' own timestamps.
struct StudioMediaInterval {
    std::optional<double> windowStart;
    std::optional<double> windowEnd;
    double seconds = 0.0;
    int frames = 0;
    double fps = 0.0;
    std::optional<double> encodeMS;
    std::optional<double> queueMS;
    std::optional<double> decodeMS;
    std::optional<double> bufferMS;
    std::optional<double> meanQP;
    std::optional<double> retransmissionFraction;
    std::optional<int> sentPackets;
    std::optional<double> sentBytes;

    bool operator==(const StudioMediaInterval&) const = default;
};

}  // namespace quillory
