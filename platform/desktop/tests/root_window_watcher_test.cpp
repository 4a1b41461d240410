#include "platform/desktop/root_window_watcher.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <cstdlib>
#include <cstring>

#include "platform/desktop/x11_connection.h"

namespace quillory {
namespace {

class RootWindowWatcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) {
            GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
        }
        auto opened = X11Connection::open(nullptr);
        ASSERT_TRUE(opened) << opened.error();
        other_ = opened.value();
    }

    void TearDown() override {
        if (other_.connection) {
            xcb_disconnect(other_.connection);
        }
    }

    void setRootCardinal(const char* name, std::uint32_t value) {
        auto cookie = xcb_intern_atom(other_.connection, 0,
                                      static_cast<std::uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(other_.connection, cookie, nullptr);
        ASSERT_NE(reply, nullptr);
        xcb_change_property(other_.connection, XCB_PROP_MODE_REPLACE, other_.screen->root,
                            reply->atom, XCB_ATOM_CARDINAL, 32, 1, &value);
        std::free(reply);
        xcb_flush(other_.connection);
    }

    // Reads until `expected` names arrived or the server stays silent for 5 s.
    static std::vector<std::string> collect(RootWindowWatcher& watcher, std::size_t expected) {
        std::vector<std::string> names;
        while (names.size() < expected) {
            pollfd fd{watcher.fileDescriptor(), POLLIN, 0};
            if (poll(&fd, 1, 5000) <= 0) {
                break;
            }
            for (std::string& name : watcher.readChanges().properties) {
                names.push_back(std::move(name));
            }
        }
        return names;
    }

    X11Connection other_;
};

TEST_F(RootWindowWatcherTest, ReportsOnlyTheWatchedPropertiesInOrder) {
    auto opened =
        RootWindowWatcher::open(nullptr, {"_NET_CURRENT_DESKTOP", "QUILLORY_TEST_WATCHED"});
    ASSERT_TRUE(opened) << opened.error();
    auto watcher = std::move(opened).value();
    EXPECT_EQ(watcher->area(), (Rect{0, 0, double(other_.screen->width_in_pixels),
                                     double(other_.screen->height_in_pixels)}));

    setRootCardinal("QUILLORY_TEST_UNWATCHED", 1);
    setRootCardinal("_NET_CURRENT_DESKTOP", 0);
    setRootCardinal("QUILLORY_TEST_UNWATCHED", 2);
    setRootCardinal("QUILLORY_TEST_WATCHED", 7);

    const auto names = collect(*watcher, 2);
    EXPECT_EQ(names, (std::vector<std::string>{"_NET_CURRENT_DESKTOP", "QUILLORY_TEST_WATCHED"}));
    EXPECT_FALSE(watcher->broken());
    // Openbox composites nothing.
    EXPECT_FALSE(watcher->compositing());
}

TEST(RootWindowWatcherOpen, FailsClearlyWithoutAServer) {
    const auto opened = RootWindowWatcher::open(":987", {"_NET_CURRENT_DESKTOP"});
    ASSERT_FALSE(opened);
    EXPECT_FALSE(opened.error().empty());
}

}  // namespace
}  // namespace quillory
