#include "platform/desktop/x11_desktop.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/desktop/x11_connection.h"

namespace quillory {
namespace {

// Monitors another client of the server adds and removes, as a display settings tool would.
class X11DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) {
            GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
        }
        auto opened = X11Connection::open(nullptr);
        ASSERT_TRUE(opened) << opened.error();
        other_ = opened.value();
        auto connected = X11Desktop::connect(nullptr);
        ASSERT_TRUE(connected) << connected.error();
        desktop_ = std::move(connected).value();
    }

    void TearDown() override {
        if (!other_.connection) {
            return;
        }
        for (const xcb_atom_t name : added_) {
            xcb_randr_delete_monitor(other_.connection, other_.screen->root, name);
        }
        sync();
        xcb_disconnect(other_.connection);
    }

    xcb_atom_t atom(const std::string& name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            other_.connection,
            xcb_intern_atom(other_.connection, 0, static_cast<std::uint16_t>(name.size()),
                            name.c_str()),
            nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return value;
    }

    // False when the server has no RandR 1.5 monitors.
    bool addMonitor(xcb_atom_t name, std::int16_t x, std::uint16_t width) {
        xcb_randr_monitor_info_t monitor{};
        monitor.name = name;
        monitor.x = x;
        monitor.width = width;
        monitor.height = 100;
        monitor.width_in_millimeters = width;
        monitor.height_in_millimeters = 100;
        xcb_generic_error_t* failed = xcb_request_check(
            other_.connection,
            xcb_randr_set_monitor_checked(other_.connection, other_.screen->root, &monitor));
        std::free(failed);
        if (failed) {
            return false;
        }
        added_.push_back(name);
        return true;
    }

    void removeMonitor(xcb_atom_t name) {
        xcb_randr_delete_monitor(other_.connection, other_.screen->root, name);
        added_.erase(std::remove(added_.begin(), added_.end(), name), added_.end());
        sync();
    }

    void sync() {
        std::free(xcb_get_input_focus_reply(other_.connection,
                                            xcb_get_input_focus(other_.connection), nullptr));
    }

    std::optional<DisplayInfo> named(const std::string& name) const {
        for (const DisplayInfo& display : desktop_->displays()) {
            if (display.name == name) {
                return display;
            }
        }
        return std::nullopt;
    }

    X11Connection other_;
    std::shared_ptr<X11Desktop> desktop_;
    std::vector<xcb_atom_t> added_;
};

TEST_F(X11DesktopTest, MonitorsKeepTheirOwnNamesAsTheyComeAndGo) {
    const std::string prefix = "QUILLORY-TEST-" + std::to_string(::getpid()) + "-";
    const xcb_atom_t first = atom(prefix + "A");
    const xcb_atom_t second = atom(prefix + "B");
    if (!addMonitor(first, 0, 200)) {
        GTEST_SKIP() << "no RandR 1.5 monitors on this server";
    }
    ASSERT_TRUE(named(prefix + "A"));
    EXPECT_EQ(named(prefix + "A")->bounds.width, 200);
    EXPECT_EQ(named(prefix + "A")->id, first);
    // Asked again, from what the desktop has seen already, then for a monitor it has not.
    ASSERT_TRUE(named(prefix + "A"));
    removeMonitor(first);
    ASSERT_TRUE(addMonitor(second, 10, 300));
    EXPECT_FALSE(named(prefix + "A"));
    ASSERT_TRUE(named(prefix + "B"));
    EXPECT_EQ(named(prefix + "B")->bounds.width, 300);
    EXPECT_EQ(named(prefix + "B")->id, second);
}

}  // namespace
}  // namespace quillory
