#include "platform/desktop/root_area_watcher.h"

#include <cstdlib>

#include "platform/desktop/x11_connection.h"

namespace quillory {

std::unique_ptr<RootAreaWatcher> RootAreaWatcher::connect(const char* display, std::string& error) {
    const auto x11 = X11Connection::open(display, error);
    if (!x11.connection) {
        return nullptr;
    }
    const xcb_window_t root = x11.screen->root;
    // The root's ConfigureNotify carries every size RandR gives it.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(x11.connection, root, XCB_CW_EVENT_MASK, &mask);
    // Read after selecting, so that no change falls between the two.
    auto* geometry =
        xcb_get_geometry_reply(x11.connection, xcb_get_geometry(x11.connection, root), nullptr);
    if (!geometry) {
        xcb_disconnect(x11.connection);
        error = "cannot read the root window's size";
        return nullptr;
    }
    const Rect area{0, 0, static_cast<double>(geometry->width),
                    static_cast<double>(geometry->height)};
    std::free(geometry);
    return std::unique_ptr<RootAreaWatcher>(new RootAreaWatcher(x11.connection, root, area));
}

RootAreaWatcher::RootAreaWatcher(xcb_connection_t* connection, xcb_window_t root, Rect area)
    : connection_(connection), root_(root), area_(area) {}

RootAreaWatcher::~RootAreaWatcher() {
    xcb_disconnect(connection_);
}

int RootAreaWatcher::descriptor() const {
    return xcb_get_file_descriptor(connection_);
}

std::optional<Rect> RootAreaWatcher::dispatchPending() {
    const Rect before = area_;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if ((event->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY) {
            const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (configure->window == root_) {
                area_ = {0, 0, static_cast<double>(configure->width),
                         static_cast<double>(configure->height)};
            }
        }
        std::free(event);
    }
    return area_ == before ? std::nullopt : std::optional<Rect>(area_);
}

}  // namespace quillory
