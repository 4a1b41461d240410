#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "protocol/desktop_key.h"

namespace quillory {

// The key a shortcut character names: "[" and "]" the brackets, " " space, else the key whose
// one-character raw value equals the lower-cased text (letters, digits, punctuation). Anything
// else names no key. The shortcut recorder shares it.
std::optional<DesktopKey> desktopKeyForCharacter(std::string_view character);

// The key of a key name in an accelerator: one character as above, an X keysym name ("Return",
// "Page_Up", "KP_Enter", "F5", compared without case) or Qt's short names ("Del", "Esc",
// "PgUp").
std::optional<DesktopKey> desktopKeyForKeyName(std::string_view name);

// The chord of a menu item's key-binding text, in the GTK form ("mnemonic;path;<Primary><Shift>s",
// the accelerator being the third part) or the Qt form ("Ctrl+Shift+S"). Modifiers come in the
// order control, option, shift, command, then the key. Empty when the item has no accelerator
// or it is not one chord of keys the tablet knows.
std::vector<DesktopKey> chordForKeyBinding(std::string_view binding);

}  // namespace quillory
