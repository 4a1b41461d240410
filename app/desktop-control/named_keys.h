#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "protocol/desktop_key.h"

namespace quillory {

// Each named key's evdev code and X keysym name. Character keys (letters, digits, brackets and
// punctuation) are typed through the current layout; their code here is the US position and
// serves only to read shortcuts back.
struct NamedKey {
    DesktopKey key;
    std::uint16_t evdevCode;
    std::string_view keysymName;
    bool typedThroughLayout;
};

std::span<const NamedKey> namedKeys();
const NamedKey& namedKey(DesktopKey key);

// The code of a key that does not depend on the layout (modifiers, editing, navigation, F-keys).
std::optional<std::uint16_t> fixedKeyCode(DesktopKey key);
// The character a layout-typed key stands for ("[" for leftBracket).
std::optional<char32_t> typedCharacter(DesktopKey key);

// The inverses, for reading shortcuts: keysym names compare case-insensitively and accept the
// common aliases (Page_Up, Page_Down, Enter, Meta_L, ...).
std::optional<DesktopKey> desktopKeyForKeysymName(std::string_view name);
std::optional<DesktopKey> desktopKeyForEvdevCode(std::uint16_t code);

}  // namespace quillory
