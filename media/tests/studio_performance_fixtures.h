#pragma once

#include <map>
#include <memory>
#include <string>

#include "media/studio_performance.h"

namespace quillory::testing {

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

}  // namespace quillory::testing
