#pragma once

#include <array>
#include <string_view>

#include "protocol/raw_value.h"

namespace quillory {

// What a button of the shortcut toolbar stands for. Stored by raw value, which is the case name.
// clang-format off
enum class DrawingAction {
    undo, redo, pan, picker, eraser, brush, straightLine, smallerBrush, largerBrush, swapColors,
    save, shift, command, control, option, lasso, transform, mirror, custom,
};

template <>
struct RawValues<DrawingAction> {
    static constexpr std::array<std::string_view, 19> names{
        "undo", "redo", "pan", "picker", "eraser", "brush", "straightLine", "smallerBrush",
        "largerBrush", "swapColors", "save", "shift", "command", "control", "option", "lasso",
        "transform", "mirror", "custom",
    };
};
// clang-format on

// The English title shown on the button.
std::string_view title(DrawingAction action);

// Actions that act while held (panning, picking, drawing straight, modifier keys) rather than on
// a tap.
constexpr bool holdsByDefault(DrawingAction action) {
    switch (action) {
        case DrawingAction::pan:
        case DrawingAction::picker:
        case DrawingAction::straightLine:
        case DrawingAction::shift:
        case DrawingAction::command:
        case DrawingAction::control:
        case DrawingAction::option:
            return true;
        default:
            return false;
    }
}

}  // namespace quillory
