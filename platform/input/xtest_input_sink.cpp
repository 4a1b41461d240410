#include "platform/input/xtest_input_sink.h"

#include <xcb/xtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/desktop/x11_connection.h"

namespace quillory {

namespace {

// X key codes are evdev codes shifted by 8 on every server that uses the evdev keycodes.
constexpr int evdevToXKeycode = 8;
constexpr std::uint8_t leftButton = 1;

bool xtestPresent(xcb_connection_t* connection) {
    const auto* extension = xcb_get_extension_data(connection, &xcb_test_id);
    return extension && extension->present;
}

}  // namespace

bool hasXTest(const char* display) {
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    const bool present = !xcb_connection_has_error(connection) && xtestPresent(connection);
    xcb_disconnect(connection);
    return present;
}

Result<std::unique_ptr<XTestInputSink>, std::string> XTestInputSink::connect(const char* display) {
    const auto opened = X11Connection::open(display);
    if (!opened) {
        return Failure(opened.error());
    }
    const X11Connection& x11 = opened.value();
    if (!xtestPresent(x11.connection)) {
        xcb_disconnect(x11.connection);
        return Failure(std::string("the X server offers no XTEST"));
    }
    return std::unique_ptr<XTestInputSink>(new XTestInputSink(x11.connection, x11.screen->root));
}

XTestInputSink::XTestInputSink(xcb_connection_t* connection, xcb_window_t root)
    : connection_(connection), root_(root) {}

XTestInputSink::~XTestInputSink() {
    if (buttonDown_) {
        fake(XCB_BUTTON_RELEASE, leftButton);
    }
    // A round trip, so that the server has taken every fake event before the connection closes:
    // events still queued at the disconnect are dropped.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    xcb_disconnect(connection_);
}

void XTestInputSink::fake(std::uint8_t type, std::uint8_t detail, std::int16_t x, std::int16_t y) {
    xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, root_, x, y, 0);
}

void XTestInputSink::post(const InputEvent& event) {
    if (event.isKey()) {
        fake(event.keyIsDown ? XCB_KEY_PRESS : XCB_KEY_RELEASE,
             static_cast<std::uint8_t>(event.keyCode + evdevToXKeycode));
        xcb_flush(connection_);
        return;
    }
    const bool release =
        event.type == InputEventType::leftMouseUp ||
        (event.type == InputEventType::tabletProximity && !event.enteringProximity);
    if (event.type != InputEventType::tabletProximity) {
        fake(XCB_MOTION_NOTIFY, 0, static_cast<std::int16_t>(std::lround(event.location.x)),
             static_cast<std::int16_t>(std::lround(event.location.y)));
    }
    if (event.type == InputEventType::leftMouseDown && !buttonDown_) {
        fake(XCB_BUTTON_PRESS, leftButton);
        buttonDown_ = true;
    } else if (release && buttonDown_) {
        fake(XCB_BUTTON_RELEASE, leftButton);
        buttonDown_ = false;
    }
}

void XTestInputSink::flush() {
    xcb_flush(connection_);
}

}  // namespace quillory
