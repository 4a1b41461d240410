#pragma once

#include <cstddef>
#include <optional>

#include "protocol/json_codec.h"

namespace quillory {

// The tablet's playback report: a JSON object passed on as it came, never interpreted here.
struct StudioFeedback {
    static constexpr std::size_t maxBytes = 4096;

    Json object = Json::object();

    // An object whose compact encoding has at most 4,096 bytes.
    bool isValid() const;

    Json toJSON() const { return object; }
    static std::optional<StudioFeedback> fromJSON(const Json& json);

    friend bool operator==(const StudioFeedback&, const StudioFeedback&) = default;
};

}  // namespace quillory
