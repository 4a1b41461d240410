// The layout of a real X server (Xvfb), followed when the user switches it.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/keyboard/keyboard_layout.h"
#include "platform/keyboard/keymap.h"
#include "platform/keyboard/xcb_xkb.h"

namespace quillory {
namespace {

// Another client that switches the keyboard group, as a layout switcher does.
class GroupSwitcher {
  public:
    GroupSwitcher() : connection_(xcb_connect(nullptr, nullptr)) {
        xkb_x11_setup_xkb_extension(
            connection_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr);
    }
    ~GroupSwitcher() { xcb_disconnect(connection_); }

    void lock(std::uint8_t group) {
        xcb_xkb_latch_lock_state(connection_, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, group, 0, 0, 0);
        roundTrip();
    }
    void grabServer(bool grab) {
        if (grab) {
            xcb_grab_server(connection_);
        } else {
            xcb_ungrab_server(connection_);
        }
        roundTrip();
    }

  private:
    // Once answered, the server has sent every event our requests caused.
    void roundTrip() {
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }
    xcb_connection_t* connection_;
};

bool readable(int descriptor, int timeoutMs) {
    pollfd entry{descriptor, POLLIN, 0};
    return ::poll(&entry, 1, timeoutMs) > 0;
}

bool sleeping(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto end = line.rfind(')');
    return thread != 0 && end != std::string::npos && line.substr(end + 2, 1) == "S";
}

// Handles events as the application does, when the descriptor wakes it, until `group` is active.
bool followUntil(KeyboardLayout& layout, std::uint32_t group) {
    for (int attempt = 0; attempt < 100 && layout.current()->layoutIndex() != group; ++attempt) {
        readable(layout.descriptor(), 100);
        layout.dispatchPending();
    }
    return layout.current()->layoutIndex() == group;
}

class KeyboardLayoutOnX11 : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) {
            GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
        }
        // Our connection stays open meanwhile: Xvfb resets the layout when its last client leaves.
        auto connected = KeyboardLayout::connect(nullptr);
        ASSERT_TRUE(connected) << connected.error();
        layout = std::move(connected).value();
    }
    void TearDown() override {
        if (layout) {
            EXPECT_EQ(std::system("setxkbmap us"), 0);
        }
    }
    std::shared_ptr<KeyboardLayout> layout;
};

TEST_F(KeyboardLayoutOnX11, FollowsALayoutSwitch) {
    ASSERT_EQ(std::system("setxkbmap us"), 0);
    layout->refresh();
    EXPECT_EQ(layout->current()->stroke(U'z'), (KeyStroke{KEY_Z, false, false}));
    ASSERT_EQ(std::system("setxkbmap de"), 0);
    bool changed = false;
    for (int attempt = 0; attempt < 50 && !changed; ++attempt) {
        readable(layout->descriptor(), 100);
        changed = layout->dispatchPending();
    }
    EXPECT_EQ(layout->current()->stroke(U'z'), (KeyStroke{KEY_Y, false, false}));
}

// With "us,ru" and the Russian group active, Latin letters still find their keys.
TEST_F(KeyboardLayoutOnX11, TypesLatinLettersWhileANonLatinGroupIsActive) {
    ASSERT_EQ(std::system("setxkbmap -layout us,ru"), 0);
    GroupSwitcher switcher;
    switcher.lock(1);
    ASSERT_TRUE(followUntil(*layout, 1));
    EXPECT_EQ(layout->current()->layoutName(), "Russian");
    EXPECT_EQ(layout->current()->stroke(U'z'), (KeyStroke{KEY_Z, false, false}));
    EXPECT_EQ(layout->current()->stroke(U'\u044f'), (KeyStroke{KEY_Z, false, false}));
    switcher.lock(0);
    ASSERT_TRUE(followUntil(*layout, 0));
}

// Group switches that arrive while a refresh waits for its replies are queued by xcb, and the
// descriptor never wakes anyone for them: handling leaves none behind.
TEST_F(KeyboardLayoutOnX11, EventsQueuedDuringARefreshAreHandledAtOnce) {
    ASSERT_EQ(std::system("setxkbmap -layout us,ru"), 0);
    GroupSwitcher switcher;
    switcher.lock(0);
    ASSERT_TRUE(followUntil(*layout, 0));
    while (readable(layout->descriptor(), 200)) {
        layout->dispatchPending();
    }
    // The server serves only the switcher meanwhile, so the refresh that the first switch starts
    // waits until the later switches are on their way.
    switcher.grabServer(true);
    switcher.lock(1);
    ASSERT_TRUE(readable(layout->descriptor(), 5000));
    std::atomic<pid_t> handlerThread{0};
    std::thread handler([&] {
        handlerThread = gettid();
        layout->dispatchPending();
    });
    // The handler has read the first switch and now sleeps, waiting for its refresh's replies.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((readable(layout->descriptor(), 0) || !sleeping(handlerThread)) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    switcher.lock(0);
    switcher.lock(1);
    switcher.grabServer(false);
    handler.join();
    EXPECT_EQ(layout->current()->layoutIndex(), 1u);
    EXPECT_FALSE(readable(layout->descriptor(), 0));
    EXPECT_FALSE(layout->dispatchPending()) << "events were left in xcb's queue";
}

}  // namespace
}  // namespace quillory
