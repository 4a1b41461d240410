#include "platform/keyboard/key_repeat_control.h"

#include <xkbcommon/xkbcommon-x11.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "platform/files/atomic_write.h"
#include "platform/files/xdg_dirs.h"
#include "platform/keyboard/xcb_xkb.h"

namespace quillory {

namespace {

// X key codes are evdev codes shifted by 8.
constexpr int evdevToXKeycode = 8;

struct FreeDeleter {
    void operator()(void* reply) const { std::free(reply); }
};
using ControlsReply = std::unique_ptr<xcb_xkb_get_controls_reply_t, FreeDeleter>;

ControlsReply controls(xcb_connection_t* connection) {
    return ControlsReply(xcb_xkb_get_controls_reply(
        connection, xcb_xkb_get_controls(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr));
}

std::uint8_t xKeycode(std::uint16_t evdevCode) {
    return static_cast<std::uint8_t>(evdevCode + evdevToXKeycode);
}

bool bit(const std::uint8_t* bits, std::uint8_t key) {
    return (bits[key / 8] & (1u << (key % 8))) != 0;
}

}  // namespace

std::filesystem::path KeyRepeatControl::defaultRecord() {
    return xdgStateHome() / "quillory" / "silenced-key-repeat";
}

Result<std::unique_ptr<KeyRepeatControl>, std::string> KeyRepeatControl::connect(
    const char* display, std::filesystem::path record) {
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return Failure(std::string("no X server answers"));
    }
    if (!xkb_x11_setup_xkb_extension(
            connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) ||
        !controls(connection)) {
        xcb_disconnect(connection);
        return Failure(std::string("the X server offers no XKB controls"));
    }
    const char* name = display ? display : std::getenv("DISPLAY");
    std::unique_ptr<KeyRepeatControl> control(
        new KeyRepeatControl(connection, name ? name : "", std::move(record)));
    control->restoreRecord();
    return control;
}

KeyRepeatControl::KeyRepeatControl(xcb_connection_t* connection, std::string display,
                                   std::filesystem::path record)
    : connection_(connection), display_(std::move(display)), record_(std::move(record)) {}

KeyRepeatControl::~KeyRepeatControl() {
    releaseAll();
    xcb_disconnect(connection_);
}

bool KeyRepeatControl::repeats(std::uint16_t evdevCode) const {
    const auto reply = controls(connection_);
    return reply && bit(reply->perKeyRepeat, xKeycode(evdevCode));
}

void KeyRepeatControl::hold(std::uint16_t evdevCode) {
    const std::uint8_t key = xKeycode(evdevCode);
    if (!held_.insert(key).second) {
        return;
    }
    const auto reply = controls(connection_);
    if (!reply || !bit(reply->perKeyRepeat, key)) {
        return;  // it does not repeat: nothing to turn off, nothing to restore
    }
    silenced_.insert(key);
    writeRecord();  // before the change, so that a crash in between is undone too
    setRepeat(reply->perKeyRepeat, {key}, false);
}

void KeyRepeatControl::release(std::uint16_t evdevCode) {
    const std::uint8_t key = xKeycode(evdevCode);
    held_.erase(key);
    if (silenced_.erase(key) > 0) {
        setRepeat({key}, true);
        writeRecord();
    }
}

void KeyRepeatControl::releaseAll() {
    held_.clear();
    if (!silenced_.empty()) {
        setRepeat(silenced_, true);
        silenced_.clear();
        writeRecord();
    }
}

void KeyRepeatControl::setRepeat(const std::set<std::uint8_t>& keys, bool on) {
    if (const auto reply = controls(connection_)) {
        setRepeat(reply->perKeyRepeat, keys, on);
    }
}

// Changes only the per-key repeat bits, and waits until the server has applied them.
void KeyRepeatControl::setRepeat(const std::uint8_t* current, const std::set<std::uint8_t>& keys,
                                 bool on) {
    std::uint8_t bits[32];
    std::copy(current, current + 32, bits);
    for (std::uint8_t key : keys) {
        const auto mask = static_cast<std::uint8_t>(1u << (key % 8));
        bits[key / 8] =
            static_cast<std::uint8_t>(on ? bits[key / 8] | mask : bits[key / 8] & ~mask);
    }
    const auto cookie = xcb_xkb_set_controls_checked(
        connection_, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        XCB_XKB_CONTROL_PER_KEY_REPEAT, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, bits);
    std::free(xcb_request_check(connection_, cookie));
}

// The display, then one X key code per line; no file while nothing is silenced.
void KeyRepeatControl::writeRecord() const {
    if (silenced_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(record_, ignored);
        return;
    }
    std::string text = display_ + '\n';
    for (std::uint8_t key : silenced_) {
        text += std::to_string(key) + '\n';
    }
    // The server forgets the bits when the machine stops, so the record need not outlive that.
    // Without it only the undo after a crash is lost: a failure does not hold the key back.
    [[maybe_unused]] const auto failure =
        writeFileAtomically(record_, text, 0644, 0777, FileDurability::processCrash);
}

void KeyRepeatControl::restoreRecord() {
    std::ifstream in(record_);
    std::string display;
    if (!in || !std::getline(in, display) || display != display_) {
        return;  // another server's keys are not ours to change
    }
    std::set<std::uint8_t> keys;
    for (int key = 0; in >> key;) {
        if (key > 0 && key < 256) {
            keys.insert(static_cast<std::uint8_t>(key));
        }
    }
    setRepeat(keys, true);
    std::error_code ignored;
    std::filesystem::remove(record_, ignored);
}

}  // namespace quillory
