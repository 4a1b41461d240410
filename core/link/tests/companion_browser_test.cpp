#include "core/link/companion_browser.h"

#include <sys/socket.h>

#include "core/link/tests/channel_test_support.h"

namespace quillory::testing {
namespace {

class CompanionBrowserTest : public ChannelTest {
  protected:
    void SetUp() override {
        ChannelTest::SetUp();
        browser = CompanionBrowser::create([this](std::string type, DnsSdEventHandler handler) {
            browsedType = type;
            deliver = std::move(handler);
            return std::make_unique<DnsSdBrowser>();
        });
        browser->onHostsChanged = [this](const auto& hosts) { changes.push_back(hosts); };
        browser->onAllForNow = [this] { ++allForNow; };
        ASSERT_TRUE(browser->start());
    }

    void send(DnsSdEvent::Kind kind, std::string name = "", int family = AF_INET,
              std::string address = "") {
        deliver(DnsSdEvent{kind,
                           {std::move(name),
                            "studio.local",
                            std::move(address),
                            50123,
                            {{"id", "f1ng3r"}, {"version", "9"}, {"platform", "mac"}, {"x", "y"}},
                            1,
                            family}});
        main->runUntilIdle();
    }

    std::shared_ptr<CompanionBrowser> browser;
    std::string browsedType;
    DnsSdEventHandler deliver;
    std::vector<std::vector<CompanionHost>> changes;
    int allForNow = 0;
};

TEST_F(CompanionBrowserTest, ListsOneHostPerNamePreferringIPv4) {
    EXPECT_EQ(browsedType, "_ravaridurur._tcp");
    send(DnsSdEvent::Kind::resolved, "Studio", AF_INET6, "fe80::1%lo");
    send(DnsSdEvent::Kind::resolved, "Studio", AF_INET, "127.0.0.1");
    send(DnsSdEvent::Kind::resolved, "Attic", AF_INET, "127.0.0.2");
    send(DnsSdEvent::Kind::allForNow);
    EXPECT_EQ(allForNow, 1);
    const auto hosts = browser->hosts();
    ASSERT_EQ(hosts.size(), 2u);
    EXPECT_EQ(hosts[0].name, "Attic");
    EXPECT_EQ(hosts[1], (CompanionHost{"Studio", "f1ng3r", "9", "mac", "127.0.0.1", 50123}));
    EXPECT_EQ(changes.size(), 3u);

    // Losing the IPv4 instance falls back to the IPv6 one; a repeat changes nothing.
    send(DnsSdEvent::Kind::removed, "Studio", AF_INET);
    send(DnsSdEvent::Kind::removed, "Studio", AF_INET);
    EXPECT_EQ(browser->hosts()[1].address, "fe80::1%lo");
    EXPECT_EQ(changes.size(), 4u);

    // The daemon went away: nothing is known any more.
    send(DnsSdEvent::Kind::reset);
    EXPECT_TRUE(browser->hosts().empty());
    EXPECT_TRUE(changes.back().empty());
}

TEST_F(CompanionBrowserTest, EventsAfterStopAreDropped) {
    browser->stop();
    send(DnsSdEvent::Kind::resolved, "Studio", AF_INET, "127.0.0.1");
    EXPECT_TRUE(browser->hosts().empty());
    EXPECT_TRUE(changes.empty());
}

TEST_F(CompanionBrowserTest, StartSaysWhyBrowsingCannotRun) {
    auto failing = CompanionBrowser::create(
        [](std::string, DnsSdEventHandler) -> Result<std::unique_ptr<DnsSdBrowser>, std::string> {
            return Failure(std::string("no poll thread"));
        });
    const auto started = failing->start();
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error(), "no poll thread");
    EXPECT_TRUE(failing->hosts().empty());
}

}  // namespace
}  // namespace quillory::testing
