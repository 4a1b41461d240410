#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <future>

#include "platform/dispatch/serial_queue.h"
#include "platform/net/dns_sd.h"
#include "platform/net/tcp_connect.h"
#include "platform/net/tcp_listener.h"

namespace quillory {
namespace {

TEST(DnsSdInstanceName, CutsToOneLabelOnACharacterBoundary) {
    EXPECT_EQ(dnsSdInstanceName("Studio"), "Studio");
    const std::string exact(63, 'a');
    EXPECT_EQ(dnsSdInstanceName(exact), exact);
    EXPECT_EQ(dnsSdInstanceName(exact + "b"), exact);
    // "é" is two bytes: 62 ASCII bytes leave room for its first byte only.
    const std::string split = std::string(62, 'a') + "é";
    EXPECT_EQ(dnsSdInstanceName(split), std::string(62, 'a'));
    // A four-byte character straddling the limit goes whole.
    const std::string emoji = std::string(61, 'a') + "\xF0\x9F\x8E\xA8" + "z";
    EXPECT_EQ(dnsSdInstanceName(emoji), std::string(61, 'a'));
    const std::string fits = std::string(59, 'a') + "\xF0\x9F\x8E\xA8" + "z";
    EXPECT_EQ(dnsSdInstanceName(fits), std::string(59, 'a') + "\xF0\x9F\x8E\xA8");
}

// Accepts on a serial queue and hands each socket to the test thread.
struct AcceptedSockets {
    SerialQueue queue{"test.listener"};
    std::unique_ptr<TcpListener> listener;
    std::promise<asio::ip::tcp::socket> first;

    AcceptedSockets() {
        std::promise<void> started;
        EXPECT_TRUE(queue.sync([&] {
            auto opened = TcpListener::open(queue.context(), 0);
            ASSERT_TRUE(opened) << opened.error().what();
            listener = std::move(opened).value();
            listener->start(
                [this](asio::ip::tcp::socket socket) { first.set_value(std::move(socket)); },
                [](std::error_code) {});
        }));
    }
    ~AcceptedSockets() {
        EXPECT_TRUE(queue.sync([&] { listener.reset(); }));
    }
};

TEST(TcpListener, HandsOverTunedSocketsUnread) {
    AcceptedSockets accepted;
    const auto client = connectTcp("127.0.0.1", accepted.listener->port(), 5);
    ASSERT_GE(client.fd, 0) << client.error;
    ASSERT_EQ(::write(client.fd, "hello\n", 6), 6);

    auto socket = accepted.first.get_future().get();
    int noDelay = 0;
    socklen_t length = sizeof noDelay;
    ASSERT_EQ(::getsockopt(socket.native_handle(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &length), 0);
    EXPECT_EQ(noDelay, 1);
    char buffer[16] = {};
    ASSERT_EQ(::read(socket.native_handle(), buffer, sizeof buffer), 6);
    EXPECT_STREQ(buffer, "hello\n");
    ::close(client.fd);
}

TEST(TcpListener, ATakenPortIsAnError) {
    AcceptedSockets accepted;
    SerialQueue other("test.other");
    std::error_code error;
    EXPECT_TRUE(other.sync([&] {
        if (auto second = TcpListener::open(other.context(), accepted.listener->port()); !second) {
            error = second.error().code();
        }
    }));
    EXPECT_EQ(error.value(), EADDRINUSE);
}

TEST(ConnectTcp, FailuresAreSentences) {
    // A port nobody listens on: take one and give it back.
    std::uint16_t port = 0;
    {
        SerialQueue queue("test.port");
        EXPECT_TRUE(queue.sync([&] {
            if (auto listener = TcpListener::open(queue.context(), 0)) {
                port = listener.value()->port();
            }
        }));
    }
    const auto refused = connectTcp("127.0.0.1", port, 5);
    EXPECT_EQ(refused.fd, -1);
    EXPECT_NE(refused.error.find("Could not connect to 127.0.0.1 port"), std::string::npos)
        << refused.error;

    const auto unknown = connectTcp("no-such-host.invalid", 4242, 5);
    EXPECT_EQ(unknown.fd, -1);
    EXPECT_EQ(unknown.error.rfind("Could not find no-such-host.invalid", 0), 0u) << unknown.error;

    EXPECT_EQ(connectTcp("", 4242, 5).fd, -1);
    EXPECT_EQ(connectTcp("127.0.0.1", 0, 5).fd, -1);
}

}  // namespace
}  // namespace quillory
