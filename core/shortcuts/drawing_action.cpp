#include "core/shortcuts/drawing_action.h"

namespace quillory {

std::string_view title(DrawingAction action) {
    // clang-format off
    static constexpr std::array<std::string_view, 19> titles{
        "Undo", "Redo", "Pan", "Colour picker", "Eraser", "Brush", "Straight line",
        "Smaller brush", "Larger brush", "Swap colours", "Save", "Shift", "Command", "Control",
        "Option", "Lasso", "Transform", "Mirror view", "Shortcut",
    };
    // clang-format on
    return titles[static_cast<std::size_t>(action)];
}

}  // namespace quillory
