#include "protocol/desktop_key.h"

#include <algorithm>
#include <bitset>

namespace quillory {

std::string symbol(DesktopKey key) {
    switch (key) {
        case DesktopKey::control:
            return "⌃";
        case DesktopKey::option:
            return "⌥";
        case DesktopKey::shift:
            return "⇧";
        case DesktopKey::command:
            return "⌘";
        case DesktopKey::tab:
            return "⇥";
        case DesktopKey::escape:
            return "⎋";
        case DesktopKey::enter:
            return "↩";
        case DesktopKey::backspace:
            return "⌫";
        case DesktopKey::forwardDelete:
            return "⌦";
        case DesktopKey::home:
            return "↖";
        case DesktopKey::end:
            return "↘";
        case DesktopKey::pageUp:
            return "⇞";
        case DesktopKey::pageDown:
            return "⇟";
        case DesktopKey::left:
            return "←";
        case DesktopKey::right:
            return "→";
        case DesktopKey::up:
            return "↑";
        case DesktopKey::down:
            return "↓";
        case DesktopKey::space:
            return "Space";
        case DesktopKey::leftBracket:
            return "[";
        case DesktopKey::rightBracket:
            return "]";
        default:
            break;
    }
    std::string text(rawValue(key));
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

std::string displayText(std::span<const DesktopKey> keys) {
    std::string modifiers;
    for (const DesktopKey modifier :
         {DesktopKey::control, DesktopKey::option, DesktopKey::shift, DesktopKey::command}) {
        if (std::find(keys.begin(), keys.end(), modifier) != keys.end()) {
            modifiers += symbol(modifier);
        }
    }
    std::string others;
    for (const DesktopKey key : keys) {
        if (!isModifier(key)) {
            others += symbol(key);
        }
    }
    if (others == "Space" && !modifiers.empty()) {
        others = " Space";
    }
    return modifiers + others;
}

bool isValidKeyChord(std::span<const DesktopKey> keys) {
    if (keys.empty() || keys.size() > 5) {
        return false;
    }
    std::bitset<RawValues<DesktopKey>::names.size()> seen;
    int nonModifiers = 0;
    for (const DesktopKey key : keys) {
        const auto index = static_cast<std::size_t>(key);
        if (index >= seen.size() || seen.test(index)) {
            return false;
        }
        seen.set(index);
        nonModifiers += isModifier(key) ? 0 : 1;
    }
    return nonModifiers <= 1;
}

}  // namespace quillory
