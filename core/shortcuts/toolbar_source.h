#pragma once

#include <string>

namespace quillory {

// Where an application's toolbar comes from: a built-in preset (named by its title), the user's
// own layout, or the basic layout.
struct ToolbarSource {
    enum class Kind { preset, custom, basic };

    Kind kind = Kind::basic;
    std::string presetTitle;  // only for Kind::preset

    static ToolbarSource preset(std::string title) { return {Kind::preset, std::move(title)}; }
    static ToolbarSource custom() { return {Kind::custom, {}}; }
    static ToolbarSource basic() { return {Kind::basic, {}}; }

    friend bool operator==(const ToolbarSource&, const ToolbarSource&) = default;
};

}  // namespace quillory
