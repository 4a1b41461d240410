#pragma once

#include <cstdint>
#include <optional>

#include "protocol/json_codec.h"

namespace quillory {

// The tablet's view size in pixels, and whether it wants the source at its actual pixels.
struct StudioViewport {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool actualPixels = false;

    // Each side in 1...16384.
    bool isValid() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("width", self.width);
        visit("height", self.height);
        visit("actualPixels", self.actualPixels);
    }

    Json toJSON() const;
    static std::optional<StudioViewport> fromJSON(const Json& json);

    friend bool operator==(const StudioViewport&, const StudioViewport&) = default;
};

}  // namespace quillory
