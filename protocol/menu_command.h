#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protocol/desktop_key.h"
#include "protocol/json_codec.h"

namespace quillory {

// One command of an application's menus: its title, the titles of the menus leading to it
// (top-level first) and its shortcut (empty when it has none).
struct MenuCommand {
    std::string title;
    std::vector<std::string> path;
    std::vector<DesktopKey> keys;

    // Title 1–128 bytes, at most 6 path titles of 1–128 bytes, all clean; keys empty or a chord.
    bool isValid() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("title", self.title);
        visit("path", self.path);
        visit("keys", self.keys);
    }

    Json toJSON() const;
    static std::optional<MenuCommand> fromJSON(const Json& json);

    friend bool operator==(const MenuCommand&, const MenuCommand&) = default;
};

}  // namespace quillory
