#pragma once

#include "media/studio_adaptation_observation.h"

namespace quillory::testing {

// An epoch that began at 0, a one-second encoder window ending at `at`, 60 frames at 1080p60.
inline StudioEncoderFeedback feedbackAt(double at, Uuid epoch = Uuid({1})) {
    StudioEncoderFeedback f;
    f.epoch = epoch;
    f.epochStartedAt = 0.0;
    f.observedAt = at;
    f.windowStart = at - 1.0;
    f.bitrate = 8'000'000;
    f.width = 1920;
    f.height = 1080;
    f.framesPerSecond = 60;
    f.submitted = 60;
    f.output = 60;
    return f;
}

// A clean one-second interval ending at `end`.
inline StudioMediaInterval intervalEnding(double end) {
    StudioMediaInterval i;
    i.windowStart = end - 1.0;
    i.windowEnd = end;
    i.seconds = 1.0;
    i.frames = 60;
    i.fps = 60.0;
    i.queueMS = 2.0;
    i.meanQP = 24.0;
    i.retransmissionFraction = 0.0;
    i.sentPackets = 120;
    i.sentBytes = 150'000.0;
    return i;
}

}  // namespace quillory::testing
