#pragma once

#include <cstdint>
#include <vector>

#include "app/desktop-control/recorder/recorder_keys.h"

class QKeyEvent;

namespace quillory {

// What one key event of the panel means to a recording.
struct RecorderKeyEvent {
    enum class Kind { none, keyDown, refused, modifiersChanged };
    Kind kind = Kind::none;
    std::uint16_t evdevCode = 0;
    bool isRepeat = false;
    std::vector<DesktopKey> held;  // the modifiers held with a key, or after a modifier event
};

// Reads X key events: the scan code is the X keycode (evdev + 8); the modifier state is the one
// before the event, so a modifier key's own press or release is applied on top. Caps Lock and Num
// Lock count for nothing; a key pressed with AltGr is refused, as no chord can carry AltGr.
class RecorderKeyReader {
  public:
    RecorderKeyEvent read(const QKeyEvent& event);
    // Forgets the modifier keys seen down: a new recording starts from what X reports.
    void reset() { held_ = {}; }

  private:
    HeldModifiers held_;
};

}  // namespace quillory
