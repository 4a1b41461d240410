#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/input/input_event_sink.h"
#include "platform/keyboard/keyboard_layout.h"
#include "protocol/desktop_action.h"
#include "protocol/held_desktop_keys.h"

namespace quillory {

// Turns key actions into key events: taps, chords held under a token, and releasing everything.
// Characters are found through the current layout, with the Shift or AltGr their level needs.
// Confined to the input queue.
class KeyboardInjector {
  public:
    struct Resolution {
        std::uint16_t code = 0;
        std::vector<DesktopKey> modifiers;  // what the layout needs besides the key (shift)
        bool altGr = false;                 // the third level's shift key, held internally
    };

    KeyboardInjector(std::shared_ptr<InputEventSink> sink, std::shared_ptr<KeyboardLayout> layout,
                     std::shared_ptr<const Clock> clock);

    void perform(const DesktopAction& action);
    // Presses the chord under `token`; a chord with a key the layout cannot type is refused
    // whole. False when nothing was held.
    bool press(std::vector<DesktopKey> keys, const Uuid& token);
    void release(const Uuid& token);
    void releaseAll();
    std::optional<Resolution> keyCode(DesktopKey key) const;

    const std::map<DesktopKey, std::uint16_t>& pressed() const { return pressed_; }
    // The flags of the modifier keys that are down.
    std::uint64_t modifierFlags() const;
    bool holdsChords() const { return !holds_.empty(); }

  private:
    void postKey(DesktopKey key, std::uint16_t code, bool down);
    void postAltGr(bool down);
    void releaseKeys(const std::vector<DesktopKey>& keys);

    std::shared_ptr<InputEventSink> sink_;
    std::shared_ptr<KeyboardLayout> layout_;
    std::shared_ptr<const Clock> clock_;
    HeldDesktopKeys holds_;
    std::map<DesktopKey, std::uint16_t> pressed_;
    std::map<DesktopKey, std::vector<DesktopKey>> layoutModifiers_;
    // Pressed keys that need AltGr; it stays down while any of them does.
    std::set<DesktopKey> altGrKeys_;
    std::optional<std::uint16_t> altGrCode_;
};

// The modifier flag of a key; 0 for keys that are not modifiers.
std::uint64_t modifierFlag(DesktopKey key);

}  // namespace quillory
