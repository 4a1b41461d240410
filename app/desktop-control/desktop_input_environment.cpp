#include "app/desktop-control/desktop_input_environment.h"

#include "platform/desktop/x11_desktop.h"
#include "platform/input/desktop_control_access.h"
#include "platform/keyboard/keymap.h"
#include "platform/log/logger.h"

namespace quillory {

DesktopInputEnvironment DesktopInputEnvironment::system() {
    const Logger logger("app.quillory.connection", "input");
    DesktopInputEnvironment environment;
    std::string error;
    auto desktop = X11Desktop::connect(nullptr, error);
    Rect root;
    if (desktop) {
        // Watching from before the pen is made, so that no resize falls in between.
        environment.rootArea = RootWindowWatcher::open(nullptr, {}, error);
        root = environment.rootArea ? environment.rootArea->area() : desktop->rootBounds();
        environment.desktop = std::move(desktop);
    } else {
        logger.error("Desktop unavailable: %s", error.c_str());
        environment.desktop = std::make_shared<FallbackDesktop>();
        root = environment.desktop->mainDisplay()->bounds;
    }
    environment.layout = KeyboardLayout::connect(nullptr, error);
    if (!environment.layout) {
        logger.error("Keyboard layout unavailable (%s); using us", error.c_str());
        environment.layout = std::make_shared<KeyboardLayout>(Keymap::fromNames("us"));
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
