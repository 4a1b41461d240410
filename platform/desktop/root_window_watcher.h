#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/geometry.h"
#include "platform/result/result.h"

namespace quillory {

// Follows the X root window on a connection of its own, so that its events never mix with a
// toolkit's: its size, which RandR changes when a monitor is added or removed or a resolution
// changes, and the named properties it was opened with (for example "_NET_CURRENT_DESKTOP"). The
// owner polls `fileDescriptor()` and calls `readChanges()` when it is readable. One thread at a
// time.
class RootWindowWatcher {
  public:
    struct Changes {
        // The new size when the root changed size.
        std::optional<Rect> area;
        // The watched properties that changed, in the order the server reported them, each once.
        std::vector<std::string> properties;
    };

    // `display` nullptr means $DISPLAY.
    static Result<std::unique_ptr<RootWindowWatcher>, std::string> open(
        const char* display, const std::vector<std::string>& properties);
    ~RootWindowWatcher();
    RootWindowWatcher(const RootWindowWatcher&) = delete;
    RootWindowWatcher& operator=(const RootWindowWatcher&) = delete;

    int fileDescriptor() const;
    Rect area() const { return area_; }
    // Reads every pending event. Nothing once the connection broke (see `broken()`).
    Changes readChanges();
    bool broken() const;
    // Whether a compositing manager owns the screen's _NET_WM_CM_Sn selection.
    bool compositing() const;

  private:
    struct Watched {
        xcb_atom_t atom;
        std::string name;
    };

    RootWindowWatcher(xcb_connection_t* connection, xcb_window_t root, int screenNumber);

    xcb_connection_t* connection_;
    xcb_window_t root_;
    int screenNumber_;
    Rect area_;
    std::vector<Watched> watched_;
};

}  // namespace quillory
