#include "platform/desktop/x11_connection.h"

namespace quillory {

Result<X11Connection, std::string> X11Connection::open(const char* display) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return Failure(std::string("no X server answers"));
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    return X11Connection{connection, screens.data, screenNumber};
}

}  // namespace quillory
