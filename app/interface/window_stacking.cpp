#include "app/interface/window_stacking.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QList>
#include <QWindow>
#include <cstdlib>
#include <memory>

namespace quillory {

namespace {

template <class Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const QByteArray bytes(name);
    Owned<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(bytes.size()),
                            bytes.constData()),
            nullptr),
        &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

xcb_window_t activeWindow(xcb_connection_t* connection, xcb_window_t root) {
    const xcb_atom_t active = atom(connection, "_NET_ACTIVE_WINDOW");
    Owned<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, root, active, XCB_ATOM_WINDOW, 0, 1),
                               nullptr),
        &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) < 4) {
        return XCB_WINDOW_NONE;
    }
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
}

}  // namespace

void keepOutOfTaskbar(QWindow& window, bool out) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    const auto self = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t skips[] = {atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (window.isVisible()) {
        // A mapped window's state belongs to the window manager: ask it.
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        if (!screen) {
            return;
        }
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = self;
        message.type = state;
        message.data.data32[0] = out ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
        message.data.data32[1] = skips[0];
        message.data.data32[2] = skips[1];
        message.data.data32[3] = 1;  // from an application
        xcb_send_event(connection, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    } else {
        // Before mapping the window carries its initial state itself; Qt adds its own to it.
        Owned<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(
                connection, xcb_get_property(connection, 0, self, state, XCB_ATOM_ATOM, 0, 1024),
                nullptr),
            &std::free);
        QList<xcb_atom_t> atoms;
        if (reply && reply->format == 32) {
            const auto* values =
                static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
            const int count = xcb_get_property_value_length(reply.get()) / 4;
            for (int i = 0; i < count; ++i) {
                if (values[i] != skips[0] && values[i] != skips[1]) {
                    atoms << values[i];
                }
            }
        }
        if (out) {
            atoms << skips[0] << skips[1];
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, self, state, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(atoms.size()), atoms.constData());
    }
    xcb_flush(connection);
}

void floatAboveActiveWindow(QWindow& window, bool on) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) {
        return;
    }
    window.setFlag(Qt::WindowStaysOnTopHint, on);
    followActiveWindow(window, on);
}

void followActiveWindow(QWindow& window, bool on) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    const auto self = static_cast<xcb_window_t>(window.winId());
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t active = on && screen ? activeWindow(connection, screen->root) : 0;
    // Our own windows need no hint: the window manager already keeps them together.
    bool foreign = active != XCB_WINDOW_NONE;
    for (const QWindow* ours : QGuiApplication::topLevelWindows()) {
        foreign = foreign && !(ours->handle() && ours->winId() == active);
    }
    if (foreign) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, self, XCB_ATOM_WM_TRANSIENT_FOR,
                            XCB_ATOM_WINDOW, 32, 1, &active);
    } else if (!on) {
        xcb_delete_property(connection, self, XCB_ATOM_WM_TRANSIENT_FOR);
    }
    xcb_flush(connection);
}

}  // namespace quillory
