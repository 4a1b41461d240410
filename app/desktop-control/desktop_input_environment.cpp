#include "app/desktop-control/desktop_input_environment.h"

#include "platform/desktop/x11_desktop.h"
#include "platform/input/desktop_control_access.h"
#include "platform/keyboard/keymap.h"
#include "platform/log/logger.h"

namespace quillory {

DesktopInputEnvironment DesktopInputEnvironment::system() {
    const Logger logger("app.quillory.connection", "input");
    DesktopInputEnvironment environment;
    Rect root;
    if (auto desktop = X11Desktop::connect(nullptr)) {
        // Watching from before the pen is made, so that no resize falls in between.
        if (auto watcher = RootWindowWatcher::open(nullptr, {})) {
            environment.rootArea = std::move(watcher).value();
        }
        root = environment.rootArea ? environment.rootArea->area() : desktop.value()->rootBounds();
        environment.desktop = std::move(desktop).value();
    } else {
        logger.error("Desktop unavailable: %s", desktop.error().c_str());
        environment.desktop = std::make_shared<FallbackDesktop>();
        root = environment.desktop->mainDisplay()->bounds;
    }
    if (auto layout = KeyboardLayout::connect(nullptr)) {
        environment.layout = std::move(layout).value();
    } else {
        logger.error("Keyboard layout unavailable (%s); using us", layout.error().c_str());
        auto us = Keymap::fromNames("us");
        environment.layout = std::make_shared<KeyboardLayout>(us ? std::move(us).value() : nullptr);
    }
    auto backend = openInputBackend(root);
    environment.sink = std::move(backend.sink);
    environment.backend = std::move(backend.status);
    environment.openBackend = [](Rect area) { return openInputBackend(area); };
    environment.clock = std::make_shared<SystemClock>();
    auto access = std::make_shared<DesktopControlAccess>();
    environment.accessGranted = [access] { return access->isGranted(); };
    return environment;
}

}  // namespace quillory
