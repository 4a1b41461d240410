#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "protocol/studio_preset.h"

namespace quillory {

// The fixed transport and playback constants of Studio: the WebRTC field trials installed once
// per process before the first peer connection factory, the bitrates and timings they use, the
// receiver's playout range, and flat text descriptions of both sides' policy for reports.
struct StudioPlaybackPolicy {
    struct PlayoutRange {
        int minimumMilliseconds = 0;
        int maximumMilliseconds = 0;

        bool operator==(const PlayoutRange&) const = default;
    };

    static constexpr int revision = 22;
    static constexpr int framesPerSecond = 60;
    static constexpr PlayoutRange playout{10, 40};
    static constexpr int pacingDelayMilliseconds = 100;
    static constexpr std::int64_t initialBitrateBps = 2'000'000;

    // The sender's encoding and bandwidth ceiling for a preset.
    static std::int64_t maximumBitrateBps(StudioPreset preset);
    // The largest maximum of every preset; computed once.
    static std::int64_t senderFactoryMaximumBitrateBps();

    // Field-trial name → value; a new dictionary on each call.
    static std::map<std::string, std::string> fieldTrials();
    static std::map<std::string, std::string> senderDescription();
    static std::map<std::string, std::string> receiverDescription();
};

}  // namespace quillory
