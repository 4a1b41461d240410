#pragma once

#include <xcb/xcb.h>

#include <string>

#include "platform/result/result.h"

namespace quillory {

// A connection to the X server at `display` (nullptr: $DISPLAY) and its default screen, or why
// there is none. The caller disconnects.
struct X11Connection {
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
    int screenNumber = 0;

    static Result<X11Connection, std::string> open(const char* display);
};

}  // namespace quillory
