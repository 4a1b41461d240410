#pragma once

#include <cstdint>
#include <optional>

#include "protocol/json_codec.h"

namespace quillory {

// A display's size in pixels, as reported to the tablet.
struct DisplayGeometry {
    static constexpr std::int64_t maxSide = 16384;

    std::int64_t width = 0;
    std::int64_t height = 0;

    // Both sides in 1...16384.
    bool isValid() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("width", self.width);
        visit("height", self.height);
    }

    Json toJSON() const;
    static std::optional<DisplayGeometry> fromJSON(const Json& json);

    friend bool operator==(const DisplayGeometry&, const DisplayGeometry&) = default;
};

}  // namespace quillory
