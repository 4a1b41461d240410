#include "tests/figures/running_quillory.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillory::bench {
namespace {

// A socket of this process, listening or not, on an ephemeral port of the loopback.
struct Socket {
    Socket(int family, bool listening) : fd(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_storage address{};
        socklen_t length = 0;
        if (family == AF_INET6) {
            auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
            v6.sin6_family = AF_INET6;
            v6.sin6_addr = in6addr_loopback;
            length = sizeof v6;
        } else {
            auto& v4 = reinterpret_cast<sockaddr_in&>(address);
            v4.sin_family = AF_INET;
            v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof v4;
        }
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                (!listening || ::listen(fd, 1) == 0) &&
                ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        port = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                        : reinterpret_cast<sockaddr_in&>(address).sin_port);
    }
    ~Socket() { ::close(fd); }

    int fd;
    bool bound = false;
    std::uint16_t port = 0;
};

TEST(ListeningPort, FindsThisProcesssListenerOverIPv4OrIPv6AndNothingElse) {
    {
        Socket bound(AF_INET, false);
        ASSERT_TRUE(bound.bound);
        EXPECT_EQ(listeningPort(::getpid()), std::nullopt) << "a socket that does not listen";
    }
    for (const int family : {AF_INET, AF_INET6}) {
        Socket listener(family, true);
        if (!listener.bound) {
            continue;  // no IPv6 on this machine
        }
        EXPECT_EQ(listeningPort(::getpid()), listener.port) << (family == AF_INET6 ? "v6" : "v4");
    }
    EXPECT_EQ(listeningPort(::getpid()), std::nullopt) << "all closed";
}

TEST(RunningQuillory, AProcessThatEndsWithoutListeningIsReportedAtOnce) {
    std::string error;
    auto running = RunningQuillory::start("/bin/true", "/dev/null", error);
    ASSERT_TRUE(running) << error;
    EXPECT_EQ(running->waitForListener(60), std::nullopt);
    EXPECT_FALSE(RunningQuillory::start("/nonexistent/quillory", "/dev/null", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace quillory::bench
