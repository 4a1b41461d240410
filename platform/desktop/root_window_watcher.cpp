#include "platform/desktop/root_window_watcher.h"

#include <algorithm>
#include <cstdlib>

#include "platform/desktop/x11_connection.h"

namespace quillory {

namespace {

xcb_atom_t intern(xcb_connection_t* connection, const std::string& name) {
    auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply) {
        return XCB_ATOM_NONE;
    }
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

}  // namespace

Result<std::unique_ptr<RootWindowWatcher>, std::string> RootWindowWatcher::open(
    const char* display, const std::vector<std::string>& properties) {
    const auto opened = X11Connection::open(display);
    if (!opened) {
        return Failure(opened.error());
    }
    const X11Connection& x11 = opened.value();
    xcb_connection_t* connection = x11.connection;
    std::unique_ptr<RootWindowWatcher> watcher(
        new RootWindowWatcher(connection, x11.screen->root, x11.screenNumber));
    for (const std::string& name : properties) {
        watcher->watched_.push_back({intern(connection, name), name});
    }
    // The root's ConfigureNotify carries every size RandR gives it. The mask adds to what other
    // clients select on the root; each client has its own.
    std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    if (!properties.empty()) {
        mask |= XCB_EVENT_MASK_PROPERTY_CHANGE;
    }
    xcb_change_window_attributes(connection, watcher->root_, XCB_CW_EVENT_MASK, &mask);
    // Read after selecting, so that no change falls between the two.
    auto* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, watcher->root_), nullptr);
    if (!geometry) {
        return Failure(std::string("cannot read the root window's size"));
    }
    watcher->area_ = {0, 0, static_cast<double>(geometry->width),
                      static_cast<double>(geometry->height)};
    std::free(geometry);
    return watcher;
}

RootWindowWatcher::RootWindowWatcher(xcb_connection_t* connection, xcb_window_t root,
                                     int screenNumber)
    : connection_(connection), root_(root), screenNumber_(screenNumber) {}

RootWindowWatcher::~RootWindowWatcher() {
    xcb_disconnect(connection_);
}

int RootWindowWatcher::fileDescriptor() const {
    return xcb_get_file_descriptor(connection_);
}

bool RootWindowWatcher::broken() const {
    return xcb_connection_has_error(connection_) != 0;
}

RootWindowWatcher::Changes RootWindowWatcher::readChanges() {
    const Rect before = area_;
    Changes changes;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const auto type = event->response_type & 0x7F;
        if (type == XCB_CONFIGURE_NOTIFY) {
            const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (configure->window == root_) {
                area_ = {0, 0, static_cast<double>(configure->width),
                         static_cast<double>(configure->height)};
            }
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            for (const Watched& w : watched_) {
                if (notify->window == root_ && notify->atom == w.atom &&
                    std::find(changes.properties.begin(), changes.properties.end(), w.name) ==
                        changes.properties.end()) {
                    changes.properties.push_back(w.name);
                }
            }
        }
        std::free(event);
    }
    if (area_ != before) {
        changes.area = area_;
    }
    return changes;
}

bool RootWindowWatcher::compositing() const {
    const xcb_atom_t selection =
        intern(connection_, "_NET_WM_CM_S" + std::to_string(screenNumber_));
    if (selection == XCB_ATOM_NONE) {
        return false;
    }
    auto cookie = xcb_get_selection_owner(connection_, selection);
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(connection_, cookie, nullptr);
    const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

}  // namespace quillory
