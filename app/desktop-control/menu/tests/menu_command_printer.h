#pragma once

#include <ostream>

#include "protocol/menu_command.h"

namespace quillory {

// Readable test failures: "File > Export > PNG [control+option+e]".
inline void PrintTo(const MenuCommand& command, std::ostream* out) {
    for (const auto& title : command.path) {
        *out << title << " > ";
    }
    *out << command.title << " [";
    for (std::size_t index = 0; index < command.keys.size(); ++index) {
        *out << (index > 0 ? "+" : "") << rawValue(command.keys[index]);
    }
    *out << "]";
}

}  // namespace quillory
