#include "platform/desktop/x11_desktop.h"

#include <unistd.h>
#include <xcb/randr.h>

#include <algorithm>
#include <array>
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
        typeNotification, frameExtents, wmState, stateHidden, typeNormal, typeDialog, netWmName,
        wmDesktop, currentDesktop;
};

Result<std::shared_ptr<X11Desktop>, std::string> X11Desktop::connect(const char* display) {
    const auto x11 = X11Connection::open(display);
    if (!x11) {
        return Failure(x11.error());
    }
    return std::shared_ptr<X11Desktop>(new X11Desktop(x11.value().connection, x11.value().screen));
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
        intern(connection, "_NET_WM_WINDOW_TYPE_NORMAL"),
        intern(connection, "_NET_WM_WINDOW_TYPE_DIALOG"),
        intern(connection, "_NET_WM_NAME"),
        intern(connection, "_NET_WM_DESKTOP"),
        intern(connection, "_NET_CURRENT_DESKTOP"),
    };
    // Display changes arrive as events from here on: RandR's for outputs and CRTCs, the root's
    // ConfigureNotify for its size and for monitors another client sets or deletes.
    const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, screen_->root, XCB_CW_EVENT_MASK, &structure);
    if (const auto* randr = xcb_get_extension_data(connection_, &xcb_randr_id);
        randr && randr->present) {
        xcb_randr_select_input(connection_, screen_->root,
                               XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
    }
    xcb_flush(connection_);
}

X11Desktop::~X11Desktop() {
    // A round trip first: requests still unread when the connection closes are dropped, so a
    // short-lived client's last raise would otherwise be lost.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
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
            info.name = atomName(monitor->name);
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

bool X11Desktop::displaysMayHaveChanged() const {
    bool arrived = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        arrived = true;
        std::free(event);
    }
    return arrived || xcb_connection_has_error(connection_) != 0;
}

std::optional<DisplayInfo> X11Desktop::display(std::uint32_t id) const {
    std::lock_guard lock(displaysMutex_);
    if (!knownDisplays_ || displaysMayHaveChanged()) {
        knownDisplays_ = displays();
    }
    for (const DisplayInfo& candidate : *knownDisplays_) {
        if (candidate.id == id) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::string X11Desktop::atomName(xcb_atom_t atom) const {
    {
        std::lock_guard lock(namesMutex_);
        if (const auto known = names_.find(atom); known != names_.end()) {
            return known->second;
        }
    }
    Reply reply(
        xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, atom), nullptr));
    if (!reply) {
        return {};
    }
    std::string name(xcb_get_atom_name_name(reply.value),
                     static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.value)));
    std::lock_guard lock(namesMutex_);
    names_.emplace(atom, name);
    return name;
}

struct X11Desktop::StackedWindow {
    xcb_window_t window = XCB_WINDOW_NONE;
    bool managed = false;
    bool viewable = false;
    bool overrideRedirect = false;
    Rect frame;
    std::vector<std::uint32_t> types, states, pid;
    std::vector<std::string> extra;  // raw property values, in the order asked
};

namespace {

// Replies asked for one window at once, read back after every window's requests went out.
struct PendingWindow {
    xcb_window_t window;
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;
    xcb_get_property_cookie_t extents, pid, type, state;
    std::vector<xcb_get_property_cookie_t> extra;
};

// `atoms`: frame extents, pid, window type and state, in that order.
PendingWindow askAboutWindow(xcb_connection_t* c, xcb_window_t root, xcb_window_t window,
                             const std::array<xcb_atom_t, 4>& atoms,
                             std::span<const xcb_atom_t> extra) {
    const auto property = [&](xcb_atom_t atom, std::uint32_t words) {
        return xcb_get_property(c, 0, window, atom, XCB_ATOM_ANY, 0, words);
    };
    PendingWindow request{window,
                          xcb_get_window_attributes(c, window),
                          xcb_get_geometry(c, window),
                          xcb_translate_coordinates(c, window, root, 0, 0),
                          property(atoms[0], 64),
                          property(atoms[1], 64),
                          property(atoms[2], 64),
                          property(atoms[3], 64),
                          {}};
    for (const auto atom : extra) {
        request.extra.push_back(property(atom, 1024));
    }
    return request;
}

std::vector<std::string> rawValues(xcb_connection_t* c,
                                   const std::vector<xcb_get_property_cookie_t>& cookies) {
    std::vector<std::string> values;
    for (const auto cookie : cookies) {
        Reply value(xcb_get_property_reply(c, cookie, nullptr));
        values.emplace_back(
            value
                ? std::string(static_cast<const char*>(xcb_get_property_value(value.value)),
                              static_cast<std::size_t>(xcb_get_property_value_length(value.value)))
                : std::string());
    }
    return values;
}

// The window's outer rectangle: its frame extents when a window manager set them, its border
// otherwise.
Rect outerFrame(const xcb_translate_coordinates_reply_t& origin,
                const xcb_get_geometry_reply_t& geometry, xcb_get_property_reply_t* extentsReply,
                bool managed) {
    if (const auto extents = cardinals(extentsReply); managed && extents.size() == 4) {
        return {origin.dst_x - static_cast<double>(extents[0]),
                origin.dst_y - static_cast<double>(extents[2]),
                geometry.width + static_cast<double>(extents[0] + extents[1]),
                geometry.height + static_cast<double>(extents[2] + extents[3])};
    }
    const double border = geometry.border_width;
    return {origin.dst_x - border, origin.dst_y - border, geometry.width + 2 * border,
            geometry.height + 2 * border};
}

}  // namespace

std::optional<std::vector<X11Desktop::StackedWindow>> X11Desktop::stackedWindows(
    std::span<const xcb_atom_t> extra, std::span<const xcb_window_t> only) const {
    // A window asked about alone counts as managed: only a window manager sets frame extents.
    std::vector<std::uint32_t> stack(only.begin(), only.end());
    if (only.empty()) {
        stack = windowProperty(screen_->root, atoms_->clientListStacking);
    }
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
    const std::array<xcb_atom_t, 4> atoms{atoms_->frameExtents, atoms_->pid, atoms_->windowType,
                                          atoms_->wmState};
    std::vector<PendingWindow> pending;
    pending.reserve(stack.size());
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        pending.push_back(askAboutWindow(connection_, screen_->root, *it, atoms, extra));
    }
    std::vector<StackedWindow> result;
    result.reserve(pending.size());
    for (const auto& request : pending) {
        Reply attributes(xcb_get_window_attributes_reply(connection_, request.attributes, nullptr));
        Reply geometry(xcb_get_geometry_reply(connection_, request.geometry, nullptr));
        Reply origin(xcb_translate_coordinates_reply(connection_, request.origin, nullptr));
        Reply extentsReply(xcb_get_property_reply(connection_, request.extents, nullptr));
        Reply pidReply(xcb_get_property_reply(connection_, request.pid, nullptr));
        Reply typeReply(xcb_get_property_reply(connection_, request.type, nullptr));
        Reply stateReply(xcb_get_property_reply(connection_, request.state, nullptr));
        std::vector<std::string> values = rawValues(connection_, request.extra);
        if (!attributes || !geometry || !origin ||
            attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
            continue;
        }
        result.push_back(
            {.window = request.window,
             .managed = managed,
             .viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE,
             .overrideRedirect = attributes->override_redirect != 0,
             .frame = outerFrame(*origin.value, *geometry.value, extentsReply.value, managed),
             .types = cardinals(typeReply.value),
             .states = cardinals(stateReply.value),
             .pid = cardinals(pidReply.value),
             .extra = std::move(values)});
    }
    return result;
}

namespace {

bool contains(const std::vector<std::uint32_t>& list, xcb_atom_t atom) {
    return std::find(list.begin(), list.end(), atom) != list.end();
}

std::string firstString(const std::string& value) {
    return value.substr(0, value.find('\0'));
}

// "instance\0class\0": the class names the application.
std::string windowClass(const std::string& value) {
    const auto split = value.find('\0');
    return split == std::string::npos ? std::string() : firstString(value.substr(split + 1));
}

std::string thisHost() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

}  // namespace

std::optional<WindowInfo> X11Desktop::onScreen(const StackedWindow& window) const {
    if (!window.viewable || contains(window.types, atoms_->typeDesktop) ||
        contains(window.states, atoms_->stateHidden)) {
        return std::nullopt;
    }
    WindowInfo info{.id = window.window, .frame = window.frame};
    if (!window.pid.empty()) {
        info.processID = static_cast<std::int32_t>(window.pid[0]);
    }
    // Unmanaged overlays (menus, our own pen marker) and panels float above applications.
    if (window.overrideRedirect || contains(window.types, atoms_->typeDock) ||
        contains(window.types, atoms_->typeNotification)) {
        info.layer = 1;
    }
    return info;
}

std::optional<std::vector<WindowInfo>> X11Desktop::windows() const {
    const auto stacked = stackedWindows({});
    if (!stacked) {
        return std::nullopt;
    }
    std::vector<WindowInfo> result;
    for (const auto& window : *stacked) {
        if (auto info = onScreen(window)) {
            result.push_back(*info);
        }
    }
    return result;
}

std::optional<WindowInfo> X11Desktop::window(std::uint32_t id) const {
    const xcb_window_t only[] = {id};
    const auto stacked = stackedWindows({}, only);
    return stacked && !stacked->empty() ? onScreen(stacked->front()) : std::nullopt;
}

std::optional<std::vector<ShareableWindow>> X11Desktop::shareableWindows() const {
    enum { netName, name, desktop, machine, wmClass };
    const xcb_atom_t extra[] = {atoms_->netWmName, XCB_ATOM_WM_NAME, atoms_->wmDesktop,
                                XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_WM_CLASS};
    const auto currentDesktop = windowProperty(screen_->root, atoms_->currentDesktop);
    const auto stacked = stackedWindows(extra);
    if (!stacked) {
        return std::nullopt;
    }
    const std::string host = thisHost();
    std::vector<ShareableWindow> result;
    for (const auto& window : *stacked) {
        if (contains(window.types, atoms_->typeDesktop)) {
            continue;
        }
        ShareableWindow shareable{.info = {.id = window.window, .frame = window.frame}};
        const auto& values = window.extra;
        shareable.title = !values[netName].empty() ? values[netName] : values[name];
        std::optional<std::uint32_t> onDesktop;
        if (values[desktop].size() >= 4) {
            std::uint32_t value = 0;
            std::memcpy(&value, values[desktop].data(), sizeof value);
            onDesktop = value;
        }
        const bool onCurrentDesktop = !onDesktop || *onDesktop == 0xFFFFFFFFu ||
                                      currentDesktop.empty() || *onDesktop == currentDesktop[0];
        shareable.onScreen =
            window.viewable && !contains(window.states, atoms_->stateHidden) && onCurrentDesktop;
        const bool ordinaryType = window.types.empty() ||
                                  contains(window.types, atoms_->typeNormal) ||
                                  contains(window.types, atoms_->typeDialog);
        shareable.info.layer = window.managed && !window.overrideRedirect && ordinaryType ? 0 : 1;
        if (const auto className = windowClass(values[wmClass]); !className.empty()) {
            WindowApplication application;
            const auto entry = DesktopEntries::shared().find(className);
            application.identifier = entry ? entry->id : className;
            application.name = entry && !entry->name.empty() ? entry->name : className;
            // A process id means nothing on another machine.
            if (!window.pid.empty() && !host.empty() && firstString(values[machine]) == host) {
                application.processID = static_cast<std::int32_t>(window.pid[0]);
            }
            shareable.application = std::move(application);
        }
        if (!window.pid.empty()) {
            shareable.info.processID = static_cast<std::int32_t>(window.pid[0]);
        }
        result.push_back(std::move(shareable));
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
    const std::string className =
        wmClass ? windowClass(std::string(
                      static_cast<const char*>(xcb_get_property_value(wmClass.value)),
                      static_cast<std::size_t>(xcb_get_property_value_length(wmClass.value))))
                : std::string();
    const auto entry = DesktopEntries::shared().find(className);
    application.identifier = entry ? entry->id : className;
    application.name = entry && !entry->name.empty() ? entry->name : className;
    return application;
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
