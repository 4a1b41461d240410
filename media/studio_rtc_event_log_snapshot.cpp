#include "media/studio_rtc_event_log_snapshot.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "media/studio_json_text.h"
#include "protocol/base64.h"

namespace quillory {

using Json = nlohmann::json;

std::optional<Json> StudioRTCEventLogSnapshot::toJson() const {
    if ((startedSeconds && !std::isfinite(*startedSeconds)) ||
        (stoppedSeconds && !std::isfinite(*stoppedSeconds))) {
        return std::nullopt;
    }
    Json json{{"format", format},
              {"status", status},
              {"maximumBytes", maximumBytes},
              {"capturedBytes", capturedBytes}};
    if (accepted) {
        json["accepted"] = *accepted;
    }
    if (startedSeconds) {
        json["startedSeconds"] = *startedSeconds;
    }
    if (stoppedSeconds) {
        json["stoppedSeconds"] = *stoppedSeconds;
    }
    if (dataBase64) {
        json["dataBase64"] = base64Encode(*dataBase64);
    }
    return json;
}

std::optional<StudioRTCEventLogSnapshot> StudioRTCEventLogSnapshot::fromJson(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    bool valid = true;
    const auto required = [&]<class T>(const char* key, T& out) {
        const auto found = json.find(key);
        std::optional<T> value = found == json.end() ? std::nullopt : jsonAs<T>(*found);
        valid = valid && value.has_value();
        if (value) {
            out = std::move(*value);
        }
    };
    const auto optional = [&]<class T>(const char* key, std::optional<T>& out) {
        const auto found = json.find(key);
        if (found != json.end() && !found->is_null()) {
            out = jsonAs<T>(*found);
            valid = valid && out.has_value();
        }
    };
    StudioRTCEventLogSnapshot snapshot;
    required("format", snapshot.format);
    required("status", snapshot.status);
    optional("accepted", snapshot.accepted);
    required("maximumBytes", snapshot.maximumBytes);
    required("capturedBytes", snapshot.capturedBytes);
    optional("startedSeconds", snapshot.startedSeconds);
    optional("stoppedSeconds", snapshot.stoppedSeconds);
    std::optional<std::string> data;
    optional("dataBase64", data);
    if (data) {
        snapshot.dataBase64 = base64Decode(*data);
        valid = valid && snapshot.dataBase64.has_value();
    }
    if (!valid) {
        return std::nullopt;
    }
    return snapshot;
}

}  // namespace quillory
