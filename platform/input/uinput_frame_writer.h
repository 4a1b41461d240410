#pragma once

#include <linux/input.h>

#include <vector>

#include "platform/input/input_event.h"

namespace quillory {

// Turns events into evdev frames for a virtual pen tablet and a virtual keyboard: one array of
// input_event records ending in SYN_REPORT per event, written with one write(). The descriptors
// are those of the uinput devices, or pipes in tests.
class UinputFrameWriter {
  public:
    static constexpr int pressureMax = 4095;
    // libinput sees the tip down at about 5 % of the range and up at about 1 %: while the pen is
    // down we never write less than 6 %.
    static constexpr int tipPressureFloor = (pressureMax * 6 + 99) / 100;
    static constexpr int tiltMax = 90;

    // `area` is the root window: its pixels span the pen's ABS_X and ABS_Y ranges.
    UinputFrameWriter(int penFd, int keyboardFd, Rect area);

    // A new pen device over a new `area`; it starts out of proximity.
    void setPenDevice(int penFd, Rect area);

    // Writes the event's frame; false when the device refused it.
    bool write(const InputEvent& event);

    // The frame an event becomes, advancing the pen's state as writing would.
    const std::vector<input_event>& encode(const InputEvent& event);

    static int pressureValue(double pressure);
    static int tiltValue(double component);

  private:
    void encodePen(const InputEvent& event);
    void encodeKey(const InputEvent& event);
    void add(std::uint16_t type, std::uint16_t code, int value);
    void enterProximity();
    void addTilt(const InputEvent& event);

    int penFd_;
    int keyboardFd_;
    Rect area_;
    bool inProximity_ = false;
    bool touching_ = false;
    std::vector<input_event> frame_;
};

}  // namespace quillory
