#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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
    const xcb_window_t window = xcb_generate_id(x11.connection);
    xcb_create_window(x11.connection, XCB_COPY_FROM_PARENT, window, x11.screen->root, 0, 0, 10, 10,
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, x11.screen->root_visual, 0, nullptr);
    const char* name = "_NET_WM_ICON";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        x11.connection,
        xcb_intern_atom(x11.connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    ASSERT_NE(atom, nullptr);
    std::vector<std::uint32_t> cardinals{2, 2, 1, 1, 1, 1, 80, 80};
    cardinals.resize(cardinals.size() + 80 * 80, 0xff00ff00);
    xcb_change_property(x11.connection, XCB_PROP_MODE_REPLACE, window, atom->atom,
                        XCB_ATOM_CARDINAL, 32, static_cast<std::uint32_t>(cardinals.size()),
                        cardinals.data());
    std::free(atom);
    xcb_flush(x11.connection);

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
