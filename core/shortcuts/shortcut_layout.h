#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/shortcuts/shortcut_binding.h"

namespace quillory {

// The buttons of one application's toolbar in display order, with the toolbar's options.
struct ShortcutLayout {
    // The most bindings a stored layout keeps.
    static constexpr std::size_t maximumBindings = 16;

    std::vector<ShortcutBinding> bindings;
    bool labels = false;
    bool brushSize = true;
    bool fingerGestures = true;
    std::optional<std::string> pencilDoubleTap;
    std::optional<std::string> pencilSqueeze;

    // Only "bindings" is required; missing or null options take the defaults above.
    Json toJSON() const;
    static std::optional<ShortcutLayout> fromJSON(const Json& json);

    // As fromJSON, but a binding that does not read is left out instead of failing the layout;
    // `complete` tells whether every binding read.
    struct PartialRead;
    static std::optional<PartialRead> fromJSONKeepingReadableBindings(const Json& json);

    friend bool operator==(const ShortcutLayout&, const ShortcutLayout&) = default;
};

struct ShortcutLayout::PartialRead {
    ShortcutLayout layout;
    bool complete = true;
};

}  // namespace quillory
