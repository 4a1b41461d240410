#include "platform/desktop/x11_desktop.h"

#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/desktop/desktop_entries.h"
#include "platform/desktop/x11_connection.h"

namespace quillory {

namespace {

template <typename T>
struct Reply {
    T* value;
    explicit Reply(T* reply) : value(reply) {}
    ~Reply() { std::free(value); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    T* operator->() const { return value; }
    explicit operator bool() const { return value != nullptr; }
};

xcb_atom_t intern(xcb_connection_t* connection, const char* name) {
    Reply reply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::vector<std::uint32_t> cardinals(xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    return {values, values + xcb_get_property_value_length(reply) / 4};
}

}  // namespace

struct X11Desktop::Atoms {
    xcb_atom_t clientListStacking, activeWindow, pid, windowType, typeDesktop, typeDock,
        typeNotification, frameExtents, wmState, stateHidden, wmIcon;
};

std::shared_ptr<X11Desktop> X11Desktop::connect(const char* display, std::string& error) {
    const auto x11 = X11Connection::open(display, error);
    if (!x11.connection) {
        return nullptr;
    }
    return std::shared_ptr<X11Desktop>(new X11Desktop(x11.connection, x11.screen));
}

X11Desktop::X11Desktop(xcb_connection_t* connection, xcb_screen_t* screen)
    : connection_(connection), screen_(screen), atoms_(std::make_unique<Atoms>()) {
    *atoms_ = Atoms{
        intern(connection, "_NET_CLIENT_LIST_STACKING"),
        intern(connection, "_NET_ACTIVE_WINDOW"),
        intern(connection, "_NET_WM_PID"),
        intern(connection, "_NET_WM_WINDOW_TYPE"),
        intern(connection, "_NET_WM_WINDOW_TYPE_DESKTOP"),
        intern(connection, "_NET_WM_WINDOW_TYPE_DOCK"),
        intern(connection, "_NET_WM_WINDOW_TYPE_NOTIFICATION"),
        intern(connection, "_NET_FRAME_EXTENTS"),
        intern(connection, "_NET_WM_STATE"),
        intern(connection, "_NET_WM_STATE_HIDDEN"),
        intern(connection, "_NET_WM_ICON"),
    };
}

X11Desktop::~X11Desktop() {
    xcb_disconnect(connection_);
}

Rect X11Desktop::rootBounds() const {
    return {0, 0, static_cast<double>(screen_->width_in_pixels),
            static_cast<double>(screen_->height_in_pixels)};
}

std::vector<std::uint32_t> X11Desktop::windowProperty(xcb_window_t window,
                                                      xcb_atom_t property) const {
    Reply reply(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, property, XCB_ATOM_ANY, 0, 4096),
        nullptr));
    return cardinals(reply.value);
}

std::vector<DisplayInfo> X11Desktop::displays() const {
    std::vector<DisplayInfo> result;
    Reply monitors(xcb_randr_get_monitors_reply(
        connection_, xcb_randr_get_monitors(connection_, screen_->root, 1), nullptr));
    if (monitors) {
        for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.value); it.rem > 0;
             xcb_randr_monitor_info_next(&it)) {
            const auto* monitor = it.data;
            DisplayInfo info{
                .id = monitor->name,
                .bounds = {static_cast<double>(monitor->x), static_cast<double>(monitor->y),
                           static_cast<double>(monitor->width),
                           static_cast<double>(monitor->height)},
                .primary = monitor->primary != 0};
            Reply name(xcb_get_atom_name_reply(
                connection_, xcb_get_atom_name(connection_, monitor->name), nullptr));
            if (name) {
                info.name.assign(
                    xcb_get_atom_name_name(name.value),
                    static_cast<std::size_t>(xcb_get_atom_name_name_length(name.value)));
            }
            result.push_back(std::move(info));
        }
    }
    if (result.empty()) {
        // No RandR 1.5: the root window is the one display.
        result.push_back({.id = 0, .bounds = rootBounds(), .primary = true, .name = "screen"});
    }
    std::stable_partition(result.begin(), result.end(), [](const auto& d) { return d.primary; });
    return result;
}

std::optional<std::vector<WindowInfo>> X11Desktop::windows() const {
    std::vector<std::uint32_t> stack = windowProperty(screen_->root, atoms_->clientListStacking);
    const bool managed = !stack.empty();
    if (!managed) {
        Reply tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, screen_->root), nullptr));
        if (!tree) {
            return std::nullopt;
        }
        const auto* children = xcb_query_tree_children(tree.value);
        stack.assign(children, children + xcb_query_tree_children_length(tree.value));
    }
    // Every request first, then every reply: one round trip for the whole list.
    struct Pending {
        xcb_window_t window;
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_property_cookie_t extents, pid, type, state;
    };
    std::vector<Pending> pending;
    pending.reserve(stack.size());
    const auto property = [&](xcb_window_t window, xcb_atom_t atom) {
        return xcb_get_property(connection_, 0, window, atom, XCB_ATOM_ANY, 0, 64);
    };
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        const xcb_window_t window = *it;
        pending.push_back({window, xcb_get_window_attributes(connection_, window),
                           xcb_get_geometry(connection_, window),
                           xcb_translate_coordinates(connection_, window, screen_->root, 0, 0),
                           property(window, atoms_->frameExtents), property(window, atoms_->pid),
                           property(window, atoms_->windowType),
                           property(window, atoms_->wmState)});
    }
    std::vector<WindowInfo> result;
    for (const auto& request : pending) {
        Reply attributes(xcb_get_window_attributes_reply(connection_, request.attributes, nullptr));
        Reply geometry(xcb_get_geometry_reply(connection_, request.geometry, nullptr));
        Reply origin(xcb_translate_coordinates_reply(connection_, request.origin, nullptr));
        Reply extentsReply(xcb_get_property_reply(connection_, request.extents, nullptr));
        Reply pidReply(xcb_get_property_reply(connection_, request.pid, nullptr));
        Reply typeReply(xcb_get_property_reply(connection_, request.type, nullptr));
        Reply stateReply(xcb_get_property_reply(connection_, request.state, nullptr));
        if (!attributes || !geometry || !origin ||
            attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
            continue;
        }
        const auto types = cardinals(typeReply.value);
        const auto states = cardinals(stateReply.value);
        const auto has = [](const std::vector<std::uint32_t>& list, xcb_atom_t atom) {
            return std::find(list.begin(), list.end(), atom) != list.end();
        };
        if (has(types, atoms_->typeDesktop) || has(states, atoms_->stateHidden)) {
            continue;
        }
        const double border = geometry->border_width;
        Rect frame{origin->dst_x - border, origin->dst_y - border, geometry->width + 2 * border,
                   geometry->height + 2 * border};
        if (const auto extents = cardinals(extentsReply.value); managed && extents.size() == 4) {
            frame = {origin->dst_x - static_cast<double>(extents[0]),
                     origin->dst_y - static_cast<double>(extents[2]),
                     geometry->width + static_cast<double>(extents[0] + extents[1]),
                     geometry->height + static_cast<double>(extents[2] + extents[3])};
        }
        WindowInfo info{.id = request.window, .frame = frame};
        if (const auto pid = cardinals(pidReply.value); !pid.empty()) {
            info.processID = static_cast<std::int32_t>(pid[0]);
        }
        // Unmanaged overlays (menus, our own pen marker) and panels float above applications.
        if (attributes->override_redirect || has(types, atoms_->typeDock) ||
            has(types, atoms_->typeNotification)) {
            info.layer = 1;
        }
        result.push_back(info);
    }
    return result;
}

std::optional<xcb_window_t> X11Desktop::activeWindow() const {
    if (const auto active = windowProperty(screen_->root, atoms_->activeWindow);
        !active.empty() && active[0] != XCB_WINDOW_NONE) {
        return active[0];
    }
    // Without a window manager the focus names the frontmost window.
    Reply focus(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    if (!focus || focus->focus == XCB_WINDOW_NONE || focus->focus == screen_->root ||
        focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT) {
        return std::nullopt;
    }
    return focus->focus;
}

std::optional<ApplicationInfo> X11Desktop::frontmostApplication() const {
    const auto window = activeWindow();
    if (!window) {
        return std::nullopt;
    }
    const auto pid = windowProperty(*window, atoms_->pid);
    if (pid.empty()) {
        return std::nullopt;
    }
    ApplicationInfo application{.processID = static_cast<std::int32_t>(pid[0]),
                                .windowID = *window};
    Reply wmClass(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, *window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        nullptr));
    std::string className;
    if (wmClass) {
        const auto* text = static_cast<const char*>(xcb_get_property_value(wmClass.value));
        const std::string both(
            text, static_cast<std::size_t>(xcb_get_property_value_length(wmClass.value)));
        // "instance\0class\0": the class names the application.
        const auto split = both.find('\0');
        if (split != std::string::npos) {
            className = both.substr(split + 1);
            className = className.substr(0, className.find('\0'));
        }
    }
    const auto entry = DesktopEntries::shared().find(className);
    application.identifier = entry ? entry->id : className;
    application.name = entry && !entry->name.empty() ? entry->name : className;
    return application;
}

std::optional<IconPixels> X11Desktop::windowIcon(std::uint32_t windowID, int side) const {
    // Up to 4 MiB of cardinals: several sizes of a large icon.
    Reply reply(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, windowID, atoms_->wmIcon, XCB_ATOM_CARDINAL, 0, 1u << 20),
        nullptr));
    return chooseWindowIcon(cardinals(reply.value), side);
}

bool X11Desktop::raise(std::uint32_t windowID) {
    Reply attributes(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, windowID), nullptr));
    if (!attributes) {
        return false;
    }
    if (!windowProperty(screen_->root, atoms_->clientListStacking).empty()) {
        // Ask the window manager, as a pager would (source indication 2).
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = windowID;
        message.type = atoms_->activeWindow;
        message.data.data32[0] = 2;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection_, 0, screen_->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    } else {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(connection_, windowID, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, windowID, XCB_CURRENT_TIME);
    }
    xcb_flush(connection_);
    return true;
}

}  // namespace quillory
