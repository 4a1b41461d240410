#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillory::testing {

// The X server's view of the application's windows, and the window manager's close request.
class Windows {
  public:
    Windows() : connection_(xcb_connect(nullptr, nullptr)) {
        if (!xcb_connection_has_error(connection_)) {
            root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        }
    }
    ~Windows() { xcb_disconnect(connection_); }
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    bool connected() const { return root_ != 0; }

    // The managed windows whose WM_CLASS class is `windowClass`.
    std::vector<xcb_window_t> withClass(const std::string& windowClass) {
        std::vector<xcb_window_t> found;
        for (xcb_window_t window : clients()) {
            if (wmClass(window).second == windowClass) {
                found.push_back(window);
            }
        }
        return found;
    }

    // Instance and class.
    std::pair<std::string, std::string> wmClass(xcb_window_t window) {
        const std::string value = property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
        const std::size_t split = value.find('\0');
        if (split == std::string::npos) {
            return {};
        }
        std::string second = value.substr(split + 1);
        if (!second.empty() && second.back() == '\0') {
            second.pop_back();
        }
        return {value.substr(0, split), second};
    }

    bool viewable(xcb_window_t window) {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> reply(
            xcb_get_window_attributes_reply(
                connection_, xcb_get_window_attributes(connection_, window), nullptr),
            &free);
        return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    bool anyViewable(const std::string& windowClass) {
        for (xcb_window_t window : withClass(windowClass)) {
            if (viewable(window)) {
                return true;
            }
        }
        return false;
    }

    // What a click on the window manager's close button sends.
    void requestClose(xcb_window_t window) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom("_NET_CLOSE_WINDOW");
        xcb_send_event(connection_, 0, root_,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection_);
    }

  private:
    xcb_atom_t atom(const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
            xcb_intern_atom_reply(
                connection_,
                xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(strlen(name)), name),
                nullptr),
            &free);
        return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    }

    std::string property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
            xcb_get_property_reply(connection_,
                                   xcb_get_property(connection_, 0, window, name, type, 0, 4096),
                                   nullptr),
            &free);
        if (!reply) {
            return {};
        }
        const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
        return std::string(data,
                           static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    }

    std::vector<xcb_window_t> clients() {
        const std::string list = property(root_, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
        std::vector<xcb_window_t> windows(list.size() / sizeof(xcb_window_t));
        std::memcpy(windows.data(), list.data(), windows.size() * sizeof(xcb_window_t));
        return windows;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
};

}  // namespace quillory::testing
