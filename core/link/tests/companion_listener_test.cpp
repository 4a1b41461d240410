#include "core/link/companion_listener.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "core/link/tests/channel_test_support.h"
#include "platform/net/tcp_connect.h"
#include "platform/net/testing/recording_advertiser.h"

namespace quillory::testing {
namespace {

// True when the peer closed the socket within the time limit.
bool closedByPeer(int fd) {
    pollfd waiting{fd, POLLIN, 0};
    char byte = 0;
    return ::poll(&waiting, 1, 10'000) == 1 && ::read(fd, &byte, 1) == 0;
}

class CompanionListenerTest : public ChannelTest {
  protected:
    void SetUp() override {
        ChannelTest::SetUp();
        create([this] { return std::make_unique<RecordingAdvertiser>(advertised); });
    }
    void TearDown() override {
        listener.reset();
        ChannelTest::TearDown();
    }

    void create(CompanionListener::AdvertiserFactory advertiser) {
        listener = CompanionListener::create(std::move(advertiser));
        listener->onReady = [this] { ++readyCount; };
        listener->onFailure = [this](const std::system_error&) { ++failureCount; };
        listener->onConnection = [this](StreamConnection connection) {
            connections.push_back(std::move(connection));
        };
    }

    int connectClient() {
        auto client = connectTcp("127.0.0.1", listener->port(), 10);
        EXPECT_GE(client.fd, 0) << client.error;
        return client.fd;
    }

    Advertised advertised;
    std::shared_ptr<CompanionListener> listener;
    int readyCount = 0;
    int failureCount = 0;
    std::vector<StreamConnection> connections;
};

TEST_F(CompanionListenerTest, AdvertisesAndHandsConnectionsOverUnread) {
    const std::string longName = std::string(60, 'x') + "äöü";  // 66 bytes
    ASSERT_TRUE(listener->start(longName, "abc123"));
    ASSERT_NE(listener->port(), 0);
    ASSERT_TRUE(runUntil([&] { return readyCount == 1; }));
    ASSERT_EQ(advertised.size(), 1u);
    ASSERT_TRUE(advertised[0]);
    EXPECT_EQ(advertised[0]->type, "_ravaridurur._tcp");
    EXPECT_EQ(advertised[0]->name, longName);  // the advertiser cuts it to one label
    EXPECT_EQ(advertised[0]->port, listener->port());
    EXPECT_EQ(advertised[0]->txt, (std::vector<std::pair<std::string, std::string>>{
                                      {"id", "abc123"}, {"version", "9"}, {"platform", "mac"}}));

    const int client = connectClient();
    ASSERT_EQ(::write(client, "commit\n", 7), 7);
    ASSERT_TRUE(runUntil([&] { return connections.size() == 1; }));
    char buffer[16] = {};
    ASSERT_EQ(::read(connections[0].fd(), buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "commit\n");

    // A connection the receiver cancels is closed at once.
    connections[0].cancel();
    EXPECT_TRUE(closedByPeer(client));
    ::close(client);
    EXPECT_EQ(failureCount, 0);
}

TEST_F(CompanionListenerTest, NoCallbackFollowsStop) {
    ASSERT_TRUE(listener->start("Host", "id"));
    ASSERT_TRUE(runUntil([&] { return readyCount == 1; }));
    const int client = connectClient();
    // The accepted connection is on its way to the main queue when the listener stops.
    ASSERT_TRUE(main->waitForWork(10));
    listener->stop();
    main->runUntilIdle();
    EXPECT_TRUE(connections.empty());
    EXPECT_TRUE(closedByPeer(client));
    ::close(client);
    ASSERT_EQ(advertised.size(), 2u);
    EXPECT_FALSE(advertised[1]);
    EXPECT_EQ(listener->port(), 0);

    // A stopped listener refuses connections; a started one readies again.
    ASSERT_TRUE(listener->start("Host", "id"));
    ASSERT_TRUE(runUntil([&] { return readyCount == 2; }));
    const int second = connectClient();
    ASSERT_TRUE(runUntil([&] { return connections.size() == 1; }));
    ::close(second);
}

TEST_F(CompanionListenerTest, StartFailsWhenThePortIsTaken) {
    ASSERT_TRUE(listener->start("Host", "id"));
    auto second = CompanionListener::create(
        [this] { return std::make_unique<RecordingAdvertiser>(advertised); }, listener->port());
    bool ready = false;
    second->onReady = [&] { ready = true; };
    const auto started = second->start("Other", "id");
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error().code().value(), EADDRINUSE) << started.error().what();
    EXPECT_EQ(second->port(), 0);
    ASSERT_TRUE(runUntil([&] { return readyCount == 1; }));
    EXPECT_FALSE(ready);
}

TEST_F(CompanionListenerTest, AcceptsWhenAdvertisingCannotStart) {
    create([]() -> Result<std::unique_ptr<DnsSdAdvertiser>, std::string> {
        return Failure(std::string("no daemon"));
    });
    ASSERT_TRUE(listener->start("Host", "id"));
    ASSERT_TRUE(runUntil([&] { return readyCount == 1; }));
    const int client = connectClient();
    ASSERT_TRUE(runUntil([&] { return connections.size() == 1; }));
    ::close(client);
}

}  // namespace
}  // namespace quillory::testing
