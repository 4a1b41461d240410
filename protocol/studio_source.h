#pragma once

#include <optional>
#include <string>

#include "protocol/json_codec.h"
#include "protocol/uuid.h"

namespace quillory {

// One shareable display or window in the catalog sent to the tablet.
struct StudioSource {
    enum class Kind { display, window };

    Uuid id;
    Kind kind = Kind::display;
    std::string name;
    std::optional<std::string> application;
    std::optional<Bytes> iconPNG;

    // Name 1–256 bytes, application at most 256 bytes, both clean; icon passes isValidIconPNG.
    bool isValid() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("id", self.id);
        visit("kind", self.kind);
        visit("name", self.name);
        visit("application", self.application);
        visit("iconPNG", self.iconPNG);
    }

    Json toJSON() const;
    static std::optional<StudioSource> fromJSON(const Json& json);

    friend bool operator==(const StudioSource&, const StudioSource&) = default;
};

template <>
struct RawValues<StudioSource::Kind> {
    static constexpr std::array<std::string_view, 2> names{"display", "window"};
};

}  // namespace quillory
