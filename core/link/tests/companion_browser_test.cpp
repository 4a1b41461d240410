#include "core/link/companion_browser.h"

#include <sys/socket.h>

#include "core/link/tests/channel_test_support.h"

namespace quillory::testing {
namespace {

class FakeBrowser final : public DnsSdBrowser {};

class CompanionBrowserTest : public ChannelTest {
  protected:
    void SetUp() override {
        ChannelTest::SetUp();
        browser = CompanionBrowser::create([this](std::string type, DnsSdEventHandler handler) {
            browsedType = type;
            deliver = std::move(handler);
            return std::make_unique<FakeBrowser>();
        });
        browser->onHostsChanged = [this](const std::vector<CompanionHost>& hosts) {
            changes.push_back(hosts);
        };
        browser->onAllForNow = [this] { ++allForNow; };
        browser->start();
    }

    static DnsSdInstance instance(std::string name, int family, std::string address) {
        DnsSdInstance found;
        found.name = std::move(name);
        found.hostName = "studio.local";
        found.address = std::move(address);
        found.port = 50123;
        found.txt = {{"id", "f1ng3r"}, {"version", "9"}, {"platform", "mac"}, {"extra", "x"}};
        found.interfaceIndex = 1;
        found.family = family;
        return found;
    }
    void send(DnsSdEvent::Kind kind, DnsSdInstance instance = {}) {
        deliver(DnsSdEvent{kind, std::move(instance)});
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
    send(DnsSdEvent::Kind::resolved, instance("Studio", AF_INET6, "fe80::1%lo"));
    send(DnsSdEvent::Kind::resolved, instance("Studio", AF_INET, "127.0.0.1"));
    send(DnsSdEvent::Kind::resolved, instance("Attic", AF_INET, "127.0.0.2"));
    send(DnsSdEvent::Kind::allForNow);
    EXPECT_EQ(allForNow, 1);

    const auto hosts = browser->hosts();
    ASSERT_EQ(hosts.size(), 2u);
    EXPECT_EQ(hosts[0].name, "Attic");
    EXPECT_EQ(hosts[1], (CompanionHost{"Studio", "f1ng3r", "9", "mac", "127.0.0.1", 50123}));
    EXPECT_EQ(changes.size(), 3u);

    // Losing the IPv4 instance falls back to the IPv6 one; a repeat changes nothing.
    auto gone = instance("Studio", AF_INET, "");
    send(DnsSdEvent::Kind::removed, gone);
    send(DnsSdEvent::Kind::removed, gone);
    EXPECT_EQ(browser->hosts()[1].address, "fe80::1%lo");
    EXPECT_EQ(changes.size(), 4u);

    // The daemon went away: nothing is known any more.
    send(DnsSdEvent::Kind::reset);
    EXPECT_TRUE(browser->hosts().empty());
    EXPECT_TRUE(changes.back().empty());
}

TEST_F(CompanionBrowserTest, EventsAfterStopAreDropped) {
    auto late = deliver;
    browser->stop();
    late(DnsSdEvent{DnsSdEvent::Kind::resolved, instance("Studio", AF_INET, "127.0.0.1")});
    main->runUntilIdle();
    EXPECT_TRUE(browser->hosts().empty());
    EXPECT_TRUE(changes.empty());
}

}  // namespace
}  // namespace quillory::testing
