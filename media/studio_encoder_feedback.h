#pragma once

#include <cstdint>
#include <optional>

#include "protocol/uuid.h"

namespace quillory {

// One window of the encoder's own counts. Times are system uptime in seconds; without a window
// the three counts are 0.
struct StudioEncoderFeedback {
    // New each time the encoder starts.
    Uuid epoch;
    double epochStartedAt = 0.0;
    double observedAt = 0.0;
    std::optional<double> windowStart;
    std::int64_t bitrate = 0;
    int width = 0;
    int height = 0;
    int framesPerSecond = 0;
    int submitted = 0;
    int dropped = 0;
    int output = 0;
    // Keyframes dropped one after another; not reset with the window.
    int consecutiveKeyframeDrops = 0;
};

}  // namespace quillory
