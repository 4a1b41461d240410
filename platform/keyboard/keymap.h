#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/result/result.h"

struct xkb_context;
struct xkb_keymap;

namespace quillory {

// How to type one character: the evdev key and the modifiers that select its level.
struct KeyStroke {
    std::uint16_t keyCode = 0;
    bool shift = false;
    bool altGr = false;  // ISO_Level3_Shift
    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

// An xkb keymap with its active layout (group), and the characters it can type. Immutable, so it
// can be read from any thread once built.
class Keymap {
  public:
    // Compiled from RMLVO names without a server, e.g. ("de", "") or ("us,ru", "") with the
    // group `layoutIndex` active.
    static Result<std::shared_ptr<const Keymap>, std::string> fromNames(
        const std::string& layout, const std::string& variant = {}, std::uint32_t layoutIndex = 0);
    // Takes ownership of `keymap`; `layoutIndex` is the active group.
    Keymap(xkb_keymap* keymap, std::uint32_t layoutIndex);
    ~Keymap();
    Keymap(const Keymap&) = delete;
    Keymap& operator=(const Keymap&) = delete;

    // The first of: no modifier, Shift, AltGr, Shift+AltGr that types `character` (letters
    // compared lowercased) in the active group, else in the first other group that types it:
    // X applications match a shortcut such as Ctrl+Z on the key that types "z" in any group.
    // Keypad keys are never used. None when no group can type it.
    std::optional<KeyStroke> stroke(char32_t character) const;
    // The character of the key's first level (no modifier, Caps Lock ignored); none for dead
    // keys, keypad keys and keysyms that print nothing.
    std::optional<char32_t> unshiftedCharacter(std::uint16_t evdevCode) const;
    // The key that selects the third level, when the layout has one.
    std::optional<std::uint16_t> altGrKeyCode() const { return altGrKeyCode_; }
    std::string layoutName() const;
    std::uint32_t layoutIndex() const { return layoutIndex_; }

  private:
    void buildStrokes();
    void addStrokes(std::uint32_t group, std::optional<std::uint32_t> shiftKey,
                    std::optional<std::uint32_t> levelThreeKey);

    xkb_keymap* keymap_;
    std::uint32_t layoutIndex_;
    std::optional<std::uint16_t> altGrKeyCode_;
    std::unordered_map<char32_t, KeyStroke> strokes_;
};

}  // namespace quillory
