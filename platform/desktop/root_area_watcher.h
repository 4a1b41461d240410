#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/desktop/geometry.h"

namespace quillory {

// Follows the size of the X root window, which RandR changes when a monitor is added or removed
// or a resolution changes. Main thread.
class RootAreaWatcher {
  public:
    // `display` nullptr means $DISPLAY; nullptr with `error` set when no server answers.
    static std::unique_ptr<RootAreaWatcher> connect(const char* display, std::string& error);
    ~RootAreaWatcher();
    RootAreaWatcher(const RootAreaWatcher&) = delete;
    RootAreaWatcher& operator=(const RootAreaWatcher&) = delete;

    Rect area() const { return area_; }
    // The descriptor to watch for changes.
    int descriptor() const;
    // Reads every pending event; the new area when the root changed size.
    std::optional<Rect> dispatchPending();

  private:
    RootAreaWatcher(xcb_connection_t* connection, xcb_window_t root, Rect area);

    xcb_connection_t* connection_;
    xcb_window_t root_;
    Rect area_;
};

}  // namespace quillory
