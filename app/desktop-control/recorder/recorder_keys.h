#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/desktop_key.h"

namespace quillory {

class Keymap;

// The key a recorded key press names. Keys that type nothing (editing, navigation, function keys,
// keypad Enter) by their code; every other key by the character of its first level in `keymap`'s
// active group, so a German "z" records `z` wherever it sits; when that names no key, by the
// character the key types unshifted in another group (the "s" key under a Russian layout).
// None when the key names no `DesktopKey`.
std::optional<DesktopKey> recordedKey(std::uint16_t evdevCode, const Keymap* keymap);

// Escape alone cancels a recording.
bool isEscapeCode(std::uint16_t evdevCode);

// The modifiers a chord can carry, listed as control, option, shift, command.
struct ModifierSet {
    bool control = false;
    bool option = false;
    bool shift = false;
    bool command = false;

    std::vector<DesktopKey> keys() const;
    bool& operator[](DesktopKey modifier);
    friend bool operator==(const ModifierSet&, const ModifierSet&) = default;
};

// The modifiers held after each modifier key event, from the state the event reports (as it was
// before the event) plus the key's own press or release. A release keeps the modifier while the
// other key of its pair is still down.
class HeldModifiers {
  public:
    // `modifier` is what the key stands for; the caller maps keys it ignores (AltGr, Caps Lock)
    // to no event at all.
    ModifierSet update(const ModifierSet& before, DesktopKey modifier, std::uint16_t evdevCode,
                       bool pressed);

  private:
    std::vector<std::uint16_t> down_;  // modifier keys seen pressed and not yet released
    std::vector<DesktopKey> downModifiers_;
};

}  // namespace quillory
