// The channel's local address and the wait for its "stop" line.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include "core/link/testing/ready_host.h"
#include "core/link/tests/channel_test_support.h"

namespace quillory::testing {
namespace {

struct TcpPair {
    int accepted = -1;
    int client = -1;
};

// A loopback connection: a listener of `listenFamily` at `listenAt`, reached over
// `connectFamily` at `connectTo`.
TcpPair tcpPair(int listenFamily, const char* listenAt, bool v6only, int connectFamily,
                const char* connectTo) {
    auto address = [](int family, const char* text, std::uint16_t port) {
        sockaddr_storage storage{};
        if (family == AF_INET) {
            auto& v4 = reinterpret_cast<sockaddr_in&>(storage);
            v4.sin_family = AF_INET;
            v4.sin_port = htons(port);
            ::inet_pton(AF_INET, text, &v4.sin_addr);
        } else {
            auto& v6 = reinterpret_cast<sockaddr_in6&>(storage);
            v6.sin6_family = AF_INET6;
            v6.sin6_port = htons(port);
            ::inet_pton(AF_INET6, text, &v6.sin6_addr);
        }
        return storage;
    };
    const socklen_t length = sizeof(sockaddr_storage);
    const int listener = ::socket(listenFamily, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFamily == AF_INET6) {
        const int only = v6only ? 1 : 0;
        ::setsockopt(listener, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
    }
    sockaddr_storage bound = address(listenFamily, listenAt, 0);
    TcpPair pair;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&bound), length) == 0 &&
        ::listen(listener, 1) == 0) {
        socklen_t boundLength = length;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &boundLength);
        const auto port = ntohs(reinterpret_cast<sockaddr_in&>(bound).sin_port);
        sockaddr_storage target = address(connectFamily, connectTo, port);
        pair.client = ::socket(connectFamily, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(pair.client, reinterpret_cast<sockaddr*>(&target), length) == 0) {
            pair.accepted = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        }
    }
    ::close(listener);
    return pair;
}

TEST_F(ChannelTest, TheLocalAddressIsThisEndsNumericAddress) {
    struct Row {
        const char* name;
        int listenFamily;
        const char* listenAt;
        bool v6only;
        int connectFamily;
        const char* connectTo;
        std::string expected;
    };
    const Row rows[] = {
        {"IPv4", AF_INET, "127.0.0.1", false, AF_INET, "127.0.0.1", "127.0.0.1"},
        {"IPv6", AF_INET6, "::1", true, AF_INET6, "::1", "::1"},
        {"IPv4-mapped", AF_INET6, "::", false, AF_INET, "127.0.0.1", "127.0.0.1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TcpPair pair =
            tcpPair(row.listenFamily, row.listenAt, row.v6only, row.connectFamily, row.connectTo);
        ASSERT_GE(pair.accepted, 0);
        auto host = endpoint(pair.accepted, SessionRole::mac, memoryStore(), Uuid::random());
        host.channel->start();
        EXPECT_EQ(host.channel->localAddress(), row.expected);
        ::close(pair.client);
    }
    const auto [local, other] = socketPair();
    auto host = endpoint(local, SessionRole::mac, memoryStore(), Uuid::random());
    host.channel->start();
    EXPECT_EQ(host.channel->localAddress(), std::nullopt);
    ::close(other);
}

TEST(PenChannelStop, TheWaitEndsOnceTheStopLineIsWritten) {
    ReadyHost host;
    ASSERT_EQ(host.open(), std::nullopt);
    EXPECT_TRUE(host.channel->stop());
    EXPECT_TRUE(host.channel->waitUntilStopWritten(30));
    EXPECT_TRUE(host.pad->receiveUntil(SessionPayload::Kind::stop));
}

TEST(PenChannelStop, AClosedChannelEndsTheWaitAtOnce) {
    ReadyHost host;
    ASSERT_EQ(host.open(), std::nullopt);
    host.channel->close(ConnectionEnd(ConnectionEnd::Case::interrupted),
                        PenChannel::Cause::systemPaused);
    host.runUntil([] { return false; });  // until the close is seen
    EXPECT_TRUE(host.channel->waitUntilStopWritten(0));
}

TEST(PenChannelStop, AFullSocketKeepsTheStopLineBackUntilTheWaitGivesUp) {
    ReadyHost host;
    ASSERT_EQ(host.open(), std::nullopt);
    // The tablet reads nothing more: about a megabyte of answers stays queued before the stop.
    ControlsSignal answer;
    answer.kind = ControlsSignal::Kind::commands;
    answer.commands = std::vector<MenuCommand>(120, MenuCommand{std::string(120, 'x')});
    for (int i = 0; i < 60; ++i) {
        host.channel->send(answer);
    }
    EXPECT_TRUE(host.channel->stop());
    EXPECT_FALSE(host.channel->waitUntilStopWritten(0.2));
    EXPECT_FALSE(host.channel->closedCause());
}

}  // namespace
}  // namespace quillory::testing
