#include "app/desktop-control/recorder/recorder_keys.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <string>

#include "app/desktop-control/menu/menu_shortcuts.h"
#include "app/desktop-control/named_keys.h"
#include "platform/keyboard/keymap.h"

namespace quillory {

namespace {

std::optional<DesktopKey> codeKey(std::uint16_t evdevCode) {
    if (evdevCode == KEY_KPENTER) {
        return DesktopKey::enter;
    }
    for (const NamedKey& row : namedKeys()) {
        if (row.evdevCode == evdevCode && !isModifier(row.key) && !row.typedThroughLayout) {
            return row.key;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<DesktopKey> recordedKey(std::uint16_t evdevCode, const Keymap* keymap) {
    if (auto key = codeKey(evdevCode)) {
        return key;
    }
    if (!keymap) {
        return std::nullopt;
    }
    const auto character = keymap->unshiftedCharacter(evdevCode);
    // Every key named by one character is ASCII, so nothing else needs encoding.
    if (character && *character < 0x80) {
        if (auto key = desktopKeyForCharacter(std::string(1, static_cast<char>(*character)))) {
            return key;
        }
    }
    // With a non-Latin group active, the key that types the character unshifted in another
    // group: X applications match shortcuts on it, and the injector types it there.
    for (const NamedKey& row : namedKeys()) {
        const auto typed = row.typedThroughLayout ? typedCharacter(row.key) : std::nullopt;
        const auto stroke = typed ? keymap->stroke(*typed) : std::nullopt;
        if (stroke && stroke->keyCode == evdevCode && !stroke->shift && !stroke->altGr) {
            return row.key;
        }
    }
    return std::nullopt;
}

bool isEscapeCode(std::uint16_t evdevCode) {
    return evdevCode == KEY_ESC;
}

std::vector<DesktopKey> ModifierSet::keys() const {
    std::vector<DesktopKey> keys;
    if (control) {
        keys.push_back(DesktopKey::control);
    }
    if (option) {
        keys.push_back(DesktopKey::option);
    }
    if (shift) {
        keys.push_back(DesktopKey::shift);
    }
    if (command) {
        keys.push_back(DesktopKey::command);
    }
    return keys;
}

bool& ModifierSet::operator[](DesktopKey modifier) {
    switch (modifier) {
        case DesktopKey::control:
            return control;
        case DesktopKey::option:
            return option;
        case DesktopKey::shift:
            return shift;
        default:
            return command;
    }
}

ModifierSet HeldModifiers::update(const ModifierSet& before, DesktopKey modifier,
                                  std::uint16_t evdevCode, bool pressed) {
    ModifierSet held = before;
    const auto found = std::find(down_.begin(), down_.end(), evdevCode);
    if (pressed) {
        if (found == down_.end()) {
            down_.push_back(evdevCode);
            downModifiers_.push_back(modifier);
        }
        held[modifier] = true;
        return held;
    }
    if (found != down_.end()) {
        downModifiers_.erase(downModifiers_.begin() + (found - down_.begin()));
        down_.erase(found);
    }
    held[modifier] =
        std::find(downModifiers_.begin(), downModifiers_.end(), modifier) != downModifiers_.end();
    return held;
}

}  // namespace quillory
