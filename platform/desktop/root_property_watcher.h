#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <string>
#include <vector>

namespace quillory {

// Reports changes of named properties of the X root window (for example
// "_NET_CURRENT_DESKTOP") on a connection of its own, so that its events never mix with a
// toolkit's. The owner polls `fileDescriptor()` and calls `readChanges()` when it is readable.
// One thread at a time.
class RootPropertyWatcher {
  public:
    // nullptr, with `error` set, when no X server answers.
    static std::unique_ptr<RootPropertyWatcher> open(const char* display,
                                                     const std::vector<std::string>& names,
                                                     std::string& error);
    ~RootPropertyWatcher();
    RootPropertyWatcher(const RootPropertyWatcher&) = delete;
    RootPropertyWatcher& operator=(const RootPropertyWatcher&) = delete;

    int fileDescriptor() const;
    // The watched properties that changed since the last call, in the order the server reported
    // them, each name once. Empty once the connection broke (see `broken()`).
    std::vector<std::string> readChanges();
    bool broken() const;
    // Whether a compositing manager owns the screen's _NET_WM_CM_Sn selection.
    bool compositing() const;

  private:
    struct Watched {
        xcb_atom_t atom;
        std::string name;
    };

    RootPropertyWatcher(xcb_connection_t* connection, xcb_window_t root, int screenNumber);

    xcb_connection_t* connection_;
    xcb_window_t root_;
    int screenNumber_;
    std::vector<Watched> watched_;
};

}  // namespace quillory
