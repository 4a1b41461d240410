#include "platform/keyboard/keyboard_layout.h"

#include <xkbcommon/xkbcommon-x11.h>

#include <cstdlib>

#include "platform/keyboard/xcb_xkb.h"

namespace quillory {

namespace {

struct XkbEvent {
    std::uint8_t responseType;
    std::uint8_t xkbType;
};

void selectLayoutEvents(xcb_connection_t* connection, std::int32_t device) {
    constexpr std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    constexpr std::uint16_t mapParts =
        XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
        XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS |
        XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    constexpr std::uint16_t groupParts = XCB_XKB_STATE_PART_GROUP_BASE |
                                         XCB_XKB_STATE_PART_GROUP_LATCH |
                                         XCB_XKB_STATE_PART_GROUP_LOCK;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.affectState = groupParts;
    details.stateDetails = groupParts;
    xcb_xkb_select_events_aux(connection, static_cast<xcb_xkb_device_spec_t>(device), events, 0, 0,
                              mapParts, mapParts, &details);
    xcb_flush(connection);
}

// True for a new keymap, or a group switch to another group than `keymap`'s.
bool isLayoutChange(const xcb_generic_event_t& event, std::uint8_t xkbEventBase,
                    const Keymap* keymap) {
    if ((event.response_type & 0x7f) != xkbEventBase) {
        return false;
    }
    const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
    if (xkb.xkbType != XCB_XKB_STATE_NOTIFY) {
        return true;
    }
    const auto& state = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
    return !keymap || keymap->layoutIndex() != state.group;
}

}  // namespace

KeyboardLayout::KeyboardLayout(std::shared_ptr<const Keymap> keymap) : keymap_(std::move(keymap)) {}

Result<std::shared_ptr<KeyboardLayout>, std::string> KeyboardLayout::connect(const char* display) {
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return Failure(std::string("no X server answers"));
    }
    std::uint8_t eventBase = 0;
    if (!xkb_x11_setup_xkb_extension(
            connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &eventBase, nullptr)) {
        xcb_disconnect(connection);
        return Failure(std::string("the X server offers no XKB"));
    }
    std::shared_ptr<KeyboardLayout> layout(new KeyboardLayout());
    layout->connection_ = connection;
    layout->xkbEventBase_ = eventBase;
    layout->deviceID_ = xkb_x11_get_core_keyboard_device_id(connection);
    selectLayoutEvents(connection, layout->deviceID_);
    layout->refresh();
    if (!layout->current()) {
        return Failure(std::string("cannot read the X server's keymap"));
    }
    return layout;
}

KeyboardLayout::~KeyboardLayout() {
    if (connection_) {
        xcb_disconnect(connection_);
    }
}

std::shared_ptr<const Keymap> KeyboardLayout::current() const {
    std::lock_guard lock(mutex_);
    return keymap_;
}

void KeyboardLayout::replace(std::shared_ptr<const Keymap> keymap) {
    std::lock_guard lock(mutex_);
    keymap_ = std::move(keymap);
}

int KeyboardLayout::descriptor() const {
    return connection_ ? xcb_get_file_descriptor(connection_) : -1;
}

void KeyboardLayout::refresh() {
    if (!connection_) {
        return;
    }
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_x11_keymap_new_from_device(context, connection_, deviceID_,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(context);
    if (!keymap) {
        return;
    }
    xkb_state* state = xkb_x11_state_new_from_device(keymap, connection_, deviceID_);
    const std::uint32_t active =
        state ? xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE) : 0;
    xkb_state_unref(state);
    replace(std::make_shared<const Keymap>(keymap, active));
}

bool KeyboardLayout::dispatchPending() {
    if (!connection_) {
        return false;
    }
    bool changed = false;
    // A refresh makes round trips, and xcb queues the events read with their replies: the
    // descriptor does not wake us for those, so the queue is drained until a pass finds nothing
    // stale.
    for (;;) {
        bool stale = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            stale |= isLayoutChange(*event, xkbEventBase_, current().get());
            std::free(event);
        }
        if (!stale) {
            return changed;
        }
        refresh();
        changed = true;
    }
}

}  // namespace quillory
