#include "platform/desktop/root_property_watcher.h"

#include <algorithm>
#include <cstdlib>

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

std::unique_ptr<RootPropertyWatcher> RootPropertyWatcher::open(
    const char* display, const std::vector<std::string>& names, std::string& error) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        error = "no X server answers";
        return nullptr;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    std::unique_ptr<RootPropertyWatcher> watcher(
        new RootPropertyWatcher(connection, screens.data->root, screenNumber));
    for (const std::string& name : names) {
        watcher->watched_.push_back({intern(connection, name), name});
    }
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    // Adds to what other clients select on the root; each client has its own mask.
    xcb_change_window_attributes(connection, watcher->root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    return watcher;
}

RootPropertyWatcher::RootPropertyWatcher(xcb_connection_t* connection, xcb_window_t root,
                                         int screenNumber)
    : connection_(connection), root_(root), screenNumber_(screenNumber) {}

RootPropertyWatcher::~RootPropertyWatcher() {
    xcb_disconnect(connection_);
}

int RootPropertyWatcher::fileDescriptor() const {
    return xcb_get_file_descriptor(connection_);
}

bool RootPropertyWatcher::broken() const {
    return xcb_connection_has_error(connection_) != 0;
}

std::vector<std::string> RootPropertyWatcher::readChanges() {
    std::vector<std::string> changed;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
            for (const Watched& w : watched_) {
                if (notify->window == root_ && notify->atom == w.atom &&
                    std::find(changed.begin(), changed.end(), w.name) == changed.end()) {
                    changed.push_back(w.name);
                }
            }
        }
        std::free(event);
    }
    return changed;
}

bool RootPropertyWatcher::compositing() const {
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
