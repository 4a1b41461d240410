#pragma once

#include <xcb/xcb.h>

#include <string>

namespace quillory {

// A connection to the X server at `display` (nullptr: $DISPLAY) and its default screen; the
// connection is nullptr, and `error` set, when no server answers. The caller disconnects.
struct X11Connection {
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
    int screenNumber = 0;

    static X11Connection open(const char* display, std::string& error);
};

}  // namespace quillory
