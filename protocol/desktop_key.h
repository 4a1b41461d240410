#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "protocol/raw_value.h"

namespace quillory {

// The named keys a tablet may press, in their fixed order: the four modifiers first.
// clang-format off
enum class DesktopKey {
    command, control, option, shift,
    a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, q, r, s, t, u, v, w, x, y, z,
    space, tab, escape, enter, backspace, leftBracket, rightBracket,
    digit0, digit1, digit2, digit3, digit4, digit5, digit6, digit7, digit8, digit9,
    minus, equals, comma, period, slash, semicolon, quote, backslash, grave,
    forwardDelete, home, end, pageUp, pageDown, left, right, up, down,
    f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11, f12,
};
// clang-format on

// Digits and punctuation travel as their one character; every other key as its case name.
// clang-format off
template <>
struct RawValues<DesktopKey> {
    static constexpr std::array<std::string_view, 77> names{
        "command", "control", "option", "shift",
        "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",
        "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z",
        "space", "tab", "escape", "enter", "backspace", "leftBracket", "rightBracket",
        "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
        "-", "=", ",", ".", "/", ";", "'", "\\", "`",
        "forwardDelete", "home", "end", "pageUp", "pageDown", "left", "right", "up", "down",
        "f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "f9", "f10", "f11", "f12",
    };
};
// clang-format on

constexpr bool isModifier(DesktopKey key) {
    return key == DesktopKey::command || key == DesktopKey::control || key == DesktopKey::option ||
           key == DesktopKey::shift;
}

// The short text of a key cap: a glyph for modifiers, editing and navigation keys, "Space", the
// bracket characters, else the raw value in upper case.
std::string symbol(DesktopKey key);

// The modifiers' symbols in the order control, option, shift, command, then the other keys'
// symbols in list order; a lone space after modifiers reads " Space".
std::string displayText(std::span<const DesktopKey> keys);

// 1 to 5 keys, none twice, at most one that is not a modifier.
bool isValidKeyChord(std::span<const DesktopKey> keys);

}  // namespace quillory
