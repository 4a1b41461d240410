#pragma once

#include <optional>
#include <string>

#include "protocol/json_codec.h"
#include "protocol/uuid.h"

namespace quillory {

// The frontmost application as reported to the tablet.
struct DesktopContext {
    enum class Platform { mac, windows };

    Uuid id;
    Platform platform = Platform::mac;
    std::string applicationID;
    std::string name;
    bool inputEnabled = false;
    std::optional<Bytes> iconPNG;

    // applicationID 1–128 bytes, name 1–256 bytes, both clean; the icon, when present, passes
    // isValidIconPNG.
    bool isValid() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("id", self.id);
        visit("platform", self.platform);
        visit("applicationID", self.applicationID);
        visit("name", self.name);
        visit("inputEnabled", self.inputEnabled);
        visit("iconPNG", self.iconPNG);
    }

    Json toJSON() const;
    static std::optional<DesktopContext> fromJSON(const Json& json);

    friend bool operator==(const DesktopContext&, const DesktopContext&) = default;
};

template <>
struct RawValues<DesktopContext::Platform> {
    static constexpr std::array<std::string_view, 2> names{"mac", "windows"};
};

}  // namespace quillory
