// A client of the X server that owns windows and watches what reaches them, for tests of input
// against a real server (Xvfb with openbox).
#pragma once

#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include "platform/desktop/desktop.h"
#include "platform/desktop/x11_connection.h"

namespace quillory::testing {

inline std::uint8_t type(const xcb_generic_event_t& event) {
    return event.response_type & 0x7f;
}

class Observer {
  public:
    Observer() {
        if (auto opened = X11Connection::open(nullptr)) {
            x11_ = opened.value();
        }
    }
    ~Observer() {
        if (x11_.connection) {
            xcb_disconnect(x11_.connection);
        }
    }
    bool connected() const { return x11_.connection != nullptr; }

    // A mapped window at a user-given position (which the window manager honours), owned by
    // this process, of class "Observer".
    xcb_window_t createWindow(std::int16_t x, std::int16_t y, std::uint16_t width,
                              std::uint16_t height) {
        xcb_connection_t* c = x11_.connection;
        const xcb_window_t window = xcb_generate_id(c);
        const std::uint32_t mask = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                   XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                   XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, x11_.screen->root, x, y, width, height,
                          0, XCB_WINDOW_CLASS_INPUT_OUTPUT, x11_.screen->root_visual,
                          XCB_CW_EVENT_MASK, &mask);
        const std::uint32_t hints[18] = {1 | 2, std::uint32_t(x), std::uint32_t(y), width, height};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                            XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
        const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
        auto* pidAtom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 11, "_NET_WM_PID"), nullptr);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, pidAtom->atom, XCB_ATOM_CARDINAL, 32,
                            1, &pid);
        std::free(pidAtom);
        const char wmClass[] = "observer\0Observer";
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            sizeof wmClass, wmClass);
        xcb_map_window(c, window);
        xcb_flush(c);
        return window;
    }

    // Reads events until `done` holds for one of them; false after `seconds` without it.
    bool waitFor(const std::function<bool(const xcb_generic_event_t&)>& done, double seconds = 20) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(x11_.connection)) {
                const bool found = done(*event);
                std::free(event);
                if (found) {
                    return true;
                }
            }
            pollfd descriptor{xcb_get_file_descriptor(x11_.connection), POLLIN, 0};
            ::poll(&descriptor, 1, 50);
        }
        return false;
    }

  private:
    X11Connection x11_;
};

// The window manager lists a window once it has framed it; true when `window` is frontmost.
inline bool waitUntilFrontmost(Observer& observer, const Desktop& desktop, xcb_window_t window) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (const auto windows = desktop.windows();
            windows && !windows->empty() && windows->front().id == window) {
            return true;
        }
        observer.waitFor([](const xcb_generic_event_t&) { return true; }, 0.05);
    }
    return false;
}

inline std::optional<WindowInfo> windowInfo(const Desktop& desktop, xcb_window_t window) {
    for (const auto& candidate : desktop.windows().value_or(std::vector<WindowInfo>{})) {
        if (candidate.id == window) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace quillory::testing
