#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/desktop/x11_connection.h"

namespace quillory::testing {

// An unmapped window whose _NET_WM_ICON holds `cardinals`; 0 when the atom cannot be had.
inline xcb_window_t createIconWindow(const X11Connection& x11,
                                     const std::vector<std::uint32_t>& cardinals) {
    const xcb_window_t window = xcb_generate_id(x11.connection);
    xcb_create_window(x11.connection, XCB_COPY_FROM_PARENT, window, x11.screen->root, 0, 0, 10, 10,
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, x11.screen->root_visual, 0, nullptr);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        x11.connection, xcb_intern_atom(x11.connection, 0, 12, "_NET_WM_ICON"), nullptr);
    if (!atom) {
        return 0;
    }
    xcb_change_property(x11.connection, XCB_PROP_MODE_REPLACE, window, atom->atom,
                        XCB_ATOM_CARDINAL, 32, static_cast<std::uint32_t>(cardinals.size()),
                        cardinals.data());
    std::free(atom);
    xcb_flush(x11.connection);
    return window;
}

}  // namespace quillory::testing
