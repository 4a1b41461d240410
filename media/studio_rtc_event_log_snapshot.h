#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

#include "platform/crypto/crypto.h"

namespace quillory {

// One capture of WebRTC's native event log as it travels in the performance report: how it was
// asked for, whether it was accepted, when it ran and the captured bytes. Its JSON keys are the
// field names; the bytes travel as standard Base64 under "dataBase64".
struct StudioRTCEventLogSnapshot {
    std::string format;
    std::string status;
    // Absent when no request was made.
    std::optional<bool> accepted;
    std::int64_t maximumBytes = 0;
    std::int64_t capturedBytes = 0;
    std::optional<double> startedSeconds;
    // Absent while the capture runs.
    std::optional<double> stoppedSeconds;
    std::optional<Bytes> dataBase64;

    bool operator==(const StudioRTCEventLogSnapshot&) const = default;

    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("format", self.format);
        visit("status", self.status);
        visit("accepted", self.accepted);
        visit("maximumBytes", self.maximumBytes);
        visit("capturedBytes", self.capturedBytes);
        visit("startedSeconds", self.startedSeconds);
        visit("stoppedSeconds", self.stoppedSeconds);
        visit("dataBase64", self.dataBase64);
    }

    nlohmann::json toJSON() const;
    // Absent when a required key is missing, a value has the wrong type or the Base64 is invalid.
    static std::optional<StudioRTCEventLogSnapshot> fromJSON(const nlohmann::json& json);
};

}  // namespace quillory
