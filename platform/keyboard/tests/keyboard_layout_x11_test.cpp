// The layout of a real X server (Xvfb), followed when the user switches it.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <poll.h>

#include <cstdlib>

#include "platform/keyboard/keyboard_layout.h"
#include "platform/keyboard/keymap.h"

namespace quillory {
namespace {

TEST(KeyboardLayoutOnX11, FollowsALayoutSwitch) {
    if (!std::getenv("DISPLAY")) {
        GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
    }
    std::string error;
    const auto layout = KeyboardLayout::connect(nullptr, error);
    ASSERT_TRUE(layout) << error;
    ASSERT_EQ(std::system("setxkbmap us"), 0);
    layout->refresh();
    EXPECT_EQ(layout->current()->stroke(U'z'), (KeyStroke{KEY_Z, false, false}));
    ASSERT_EQ(std::system("setxkbmap de"), 0);
    bool changed = false;
    for (int attempt = 0; attempt < 50 && !changed; ++attempt) {
        pollfd descriptor{layout->descriptor(), POLLIN, 0};
        ::poll(&descriptor, 1, 100);
        changed = layout->dispatchPending();
    }
    EXPECT_EQ(layout->current()->stroke(U'z'), (KeyStroke{KEY_Y, false, false}));
    ASSERT_EQ(std::system("setxkbmap us"), 0);
}

}  // namespace
}  // namespace quillory
