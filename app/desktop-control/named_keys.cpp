#include "app/desktop-control/named_keys.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace quillory {

namespace {

using K = DesktopKey;

// In DesktopKey order, so a key's entry is at its index.
// clang-format off
constexpr std::array<NamedKey, 77> table{{
    {K::command, KEY_LEFTMETA, "Super_L", false},
    {K::control, KEY_LEFTCTRL, "Control_L", false},
    {K::option, KEY_LEFTALT, "Alt_L", false},
    {K::shift, KEY_LEFTSHIFT, "Shift_L", false},
    {K::a, KEY_A, "a", true}, {K::b, KEY_B, "b", true}, {K::c, KEY_C, "c", true},
    {K::d, KEY_D, "d", true}, {K::e, KEY_E, "e", true}, {K::f, KEY_F, "f", true},
    {K::g, KEY_G, "g", true}, {K::h, KEY_H, "h", true}, {K::i, KEY_I, "i", true},
    {K::j, KEY_J, "j", true}, {K::k, KEY_K, "k", true}, {K::l, KEY_L, "l", true},
    {K::m, KEY_M, "m", true}, {K::n, KEY_N, "n", true}, {K::o, KEY_O, "o", true},
    {K::p, KEY_P, "p", true}, {K::q, KEY_Q, "q", true}, {K::r, KEY_R, "r", true},
    {K::s, KEY_S, "s", true}, {K::t, KEY_T, "t", true}, {K::u, KEY_U, "u", true},
    {K::v, KEY_V, "v", true}, {K::w, KEY_W, "w", true}, {K::x, KEY_X, "x", true},
    {K::y, KEY_Y, "y", true}, {K::z, KEY_Z, "z", true},
    {K::space, KEY_SPACE, "space", false},
    {K::tab, KEY_TAB, "Tab", false},
    {K::escape, KEY_ESC, "Escape", false},
    {K::enter, KEY_ENTER, "Return", false},
    {K::backspace, KEY_BACKSPACE, "BackSpace", false},
    {K::leftBracket, KEY_LEFTBRACE, "bracketleft", true},
    {K::rightBracket, KEY_RIGHTBRACE, "bracketright", true},
    {K::digit0, KEY_0, "0", true}, {K::digit1, KEY_1, "1", true}, {K::digit2, KEY_2, "2", true},
    {K::digit3, KEY_3, "3", true}, {K::digit4, KEY_4, "4", true}, {K::digit5, KEY_5, "5", true},
    {K::digit6, KEY_6, "6", true}, {K::digit7, KEY_7, "7", true}, {K::digit8, KEY_8, "8", true},
    {K::digit9, KEY_9, "9", true},
    {K::minus, KEY_MINUS, "minus", true},
    {K::equals, KEY_EQUAL, "equal", true},
    {K::comma, KEY_COMMA, "comma", true},
    {K::period, KEY_DOT, "period", true},
    {K::slash, KEY_SLASH, "slash", true},
    {K::semicolon, KEY_SEMICOLON, "semicolon", true},
    {K::quote, KEY_APOSTROPHE, "apostrophe", true},
    {K::backslash, KEY_BACKSLASH, "backslash", true},
    {K::grave, KEY_GRAVE, "grave", true},
    {K::forwardDelete, KEY_DELETE, "Delete", false},
    {K::home, KEY_HOME, "Home", false},
    {K::end, KEY_END, "End", false},
    {K::pageUp, KEY_PAGEUP, "Prior", false},
    {K::pageDown, KEY_PAGEDOWN, "Next", false},
    {K::left, KEY_LEFT, "Left", false},
    {K::right, KEY_RIGHT, "Right", false},
    {K::up, KEY_UP, "Up", false},
    {K::down, KEY_DOWN, "Down", false},
    {K::f1, KEY_F1, "F1", false}, {K::f2, KEY_F2, "F2", false}, {K::f3, KEY_F3, "F3", false},
    {K::f4, KEY_F4, "F4", false}, {K::f5, KEY_F5, "F5", false}, {K::f6, KEY_F6, "F6", false},
    {K::f7, KEY_F7, "F7", false}, {K::f8, KEY_F8, "F8", false}, {K::f9, KEY_F9, "F9", false},
    {K::f10, KEY_F10, "F10", false}, {K::f11, KEY_F11, "F11", false},
    {K::f12, KEY_F12, "F12", false},
}};
// clang-format on

constexpr bool inKeyOrder() {
    for (std::size_t index = 0; index < table.size(); ++index) {
        if (static_cast<std::size_t>(table[index].key) != index) {
            return false;
        }
    }
    return true;
}
static_assert(inKeyOrder());

struct Alias {
    std::string_view name;
    DesktopKey key;
};
constexpr std::array<Alias, 12> aliases{{
    {"Page_Up", K::pageUp},
    {"Page_Down", K::pageDown},
    {"Enter", K::enter},
    {"KP_Enter", K::enter},
    {"Super_R", K::command},
    {"Meta_L", K::command},
    {"Meta_R", K::command},
    {"Control_R", K::control},
    {"Alt_R", K::option},
    {"Shift_R", K::shift},
    {"ISO_Left_Tab", K::tab},
    {"Escape", K::escape},
}};

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::span<const NamedKey> namedKeys() {
    return table;
}

const NamedKey& namedKey(DesktopKey key) {
    return table[static_cast<std::size_t>(key)];
}

std::optional<std::uint16_t> fixedKeyCode(DesktopKey key) {
    const NamedKey& entry = namedKey(key);
    if (entry.typedThroughLayout) {
        return std::nullopt;
    }
    return entry.evdevCode;
}

std::optional<char32_t> typedCharacter(DesktopKey key) {
    if (key == K::leftBracket) {
        return U'[';
    }
    if (key == K::rightBracket) {
        return U']';
    }
    const std::string_view raw = rawValue(key);
    if (!namedKey(key).typedThroughLayout || raw.size() != 1) {
        return std::nullopt;
    }
    return static_cast<char32_t>(static_cast<unsigned char>(raw[0]));
}

std::optional<DesktopKey> desktopKeyForKeysymName(std::string_view name) {
    for (const NamedKey& entry : table) {
        if (sameName(entry.keysymName, name)) {
            return entry.key;
        }
    }
    for (const Alias& alias : aliases) {
        if (sameName(alias.name, name)) {
            return alias.key;
        }
    }
    return std::nullopt;
}

std::optional<DesktopKey> desktopKeyForEvdevCode(std::uint16_t code) {
    for (const NamedKey& entry : table) {
        if (entry.evdevCode == code) {
            return entry.key;
        }
    }
    return std::nullopt;
}

}  // namespace quillory
