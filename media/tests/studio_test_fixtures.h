#pragma once

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "media/studio_adaptation_observation.h"
#include "media/studio_performance.h"
#include "platform/clock/testing/fake_clock.h"

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

// An environment with a clock that moves only when told and a fixed thermal state.
inline StudioPerformance::Environment fakeEnvironment(std::shared_ptr<FakeClock> clock) {
    return {clock,
            [] { return ThermalState::fair; },
            [] { return std::string("Linux test"); },
            "1.2.3",
            "45",
            nullptr};
}

inline StudioStatistics entry(std::string id, std::string type, double seconds,
                              std::map<std::string, StudioStatisticValue> values) {
    return {std::move(id), std::move(type), seconds * 1e6, std::move(values)};
}

inline const nlohmann::json removed(nlohmann::json::value_t::discarded);

// A JSON object with one member replaced or removed.
inline nlohmann::json with(nlohmann::json json, const char* key, nlohmann::json value = removed) {
    if (value.is_discarded()) {
        json.erase(key);
    } else {
        json[key] = std::move(value);
    }
    return json;
}

}  // namespace quillory::testing
