#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/desktop/tests/icon_window.h"
#include "platform/desktop/x11_connection.h"
#include "platform/desktop/x11_desktop.h"

namespace quillory {
namespace {

TEST(X11WindowIcon, ReadsTheIconAWindowSets) {
    if (!std::getenv("DISPLAY")) {
        GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
    }
    std::string error;
    X11Connection x11 = X11Connection::open(nullptr, error);
    ASSERT_NE(x11.connection, nullptr) << error;
    std::vector<std::uint32_t> cardinals{2, 2, 1, 1, 1, 1, 80, 80};
    cardinals.resize(cardinals.size() + 80 * 80, 0xff00ff00);
    const xcb_window_t window = testing::createIconWindow(x11, cardinals);
    ASSERT_NE(window, 0u);

    auto desktop = X11Desktop::connect(nullptr, error);
    ASSERT_TRUE(desktop) << error;
    const auto icon = desktop->windowIcon(window, 64);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width, 80);
    EXPECT_EQ(icon->argb.back(), 0xff00ff00u);
    EXPECT_FALSE(desktop->windowIcon(x11.screen->root, 64));
    xcb_destroy_window(x11.connection, window);
    xcb_disconnect(x11.connection);
}

}  // namespace
}  // namespace quillory
