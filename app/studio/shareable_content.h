#pragma once

#include <optional>
#include <vector>

#include "platform/desktop/desktop.h"

namespace quillory {

// A snapshot of what Studio can share: the displays and the top-level windows, front to back.
struct ShareableContent {
    std::vector<DisplayInfo> displays;
    std::vector<ShareableWindow> windows;

    // Nothing when the window list cannot be read.
    static std::optional<ShareableContent> read(const Desktop& desktop);
};

}  // namespace quillory
