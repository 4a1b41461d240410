#include "platform/desktop/x11_connection.h"

namespace quillory {

X11Connection X11Connection::open(const char* display, std::string& error) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        error = "no X server answers";
        return {};
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    return {connection, screens.data, screenNumber};
}

}  // namespace quillory
