#pragma once

#include <cstdint>
#include <optional>

#include "platform/desktop/geometry.h"

namespace quillory {

// The kinds of event the injectors make; numbered as the desktop event types they stand for.
enum class InputEventType : std::uint8_t {
    leftMouseDown = 1,
    leftMouseUp = 2,
    mouseMoved = 5,
    leftMouseDragged = 6,
    keyDown = 10,
    keyUp = 11,
    flagsChanged = 12,
    tabletPointer = 23,
    tabletProximity = 24,
};

// Modifier flags carried by every event: the union of the modifier keys held when it was made.
namespace ModifierFlags {
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
inline constexpr std::uint64_t nonCoalesced = 0x100;
}  // namespace ModifierFlags

// Synthesized tablet identity written into pen events.
inline constexpr std::uint32_t penDeviceID = 0x514C;
inline constexpr std::uint64_t penToolID = 0x5155494C4C4F5259;

struct Tilt {
    double x = 0;  // cos(altitude)·cos(azimuth), -1..1, positive to the right
    double y = 0;  // cos(altitude)·sin(azimuth), -1..1, positive downwards
    friend bool operator==(const Tilt&, const Tilt&) = default;
};

// One finished event as a backend receives it.
struct InputEvent {
    InputEventType type = InputEventType::mouseMoved;
    Point location;
    double pressure = 0;             // 0..1
    std::optional<Tilt> tilt;        // pointer events made from a sample
    std::uint64_t flags = 0;         // ModifierFlags
    std::uint64_t timestamp = 0;     // uptime nanoseconds, strictly increasing per injector
    bool buttonDown = false;         // pointer events: the pen tip is down after this event
    int clickState = 0;              // 1 for left mouse down and up
    bool enteringProximity = false;  // tabletProximity: true entering, false leaving
    std::uint32_t deviceID = 0;      // pen events: penDeviceID
    std::uint64_t toolID = 0;        // proximity events: penToolID
    std::uint16_t keyCode = 0;       // key events: evdev key code
    bool keyIsDown = false;          // key events, flagsChanged included

    bool isKey() const {
        return type == InputEventType::keyDown || type == InputEventType::keyUp ||
               type == InputEventType::flagsChanged;
    }
};

}  // namespace quillory
