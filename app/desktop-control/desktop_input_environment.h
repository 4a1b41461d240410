#pragma once

#include <functional>
#include <memory>

#include "platform/clock/clock.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/root_window_watcher.h"
#include "platform/input/input_backend.h"
#include "platform/keyboard/keyboard_layout.h"

namespace quillory {

// What desktop input reaches the system through; tests substitute each part.
struct DesktopInputEnvironment {
    std::shared_ptr<InputEventSink> sink;
    std::shared_ptr<KeyboardLayout> layout;
    std::shared_ptr<Desktop> desktop;
    std::shared_ptr<const Clock> clock;
    // Reports new root sizes, which the pen's area follows; none without an X server.
    std::shared_ptr<RootWindowWatcher> rootArea;
    // "Desktop control access": may input be posted at all.
    std::function<bool()> accessGranted;
    // The 0.25 s watchdog runs by itself; tests drive it by hand instead.
    bool automaticWatchdog = true;
    InputBackendStatus backend;
    // Opens the input backend again over a root area, after access was granted while running;
    // none keeps the first one for good.
    std::function<InputBackend(Rect rootArea)> openBackend;

    // The X server at $DISPLAY, the input backend it allows, the system clock.
    static DesktopInputEnvironment system();
};

}  // namespace quillory
