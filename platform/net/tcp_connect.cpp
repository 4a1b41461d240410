#include "platform/net/tcp_connect.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/net/socket_options.h"

namespace quillory {

namespace {

using Clock = std::chrono::steady_clock;

// 0 when connected, else the errno of the attempt.
int connectOne(const addrinfo& address, Clock::time_point deadline, int& fd) {
    fd = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                  address.ai_protocol);
    if (fd < 0) {
        return errno;
    }
    int result = 0;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        result = errno;
        if (result == EINPROGRESS) {
            pollfd waiting{fd, POLLOUT, 0};
            int ready = -1;
            // A signal that interrupts the wait is no failure: wait for what is left.
            do {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                ready = ::poll(&waiting, 1, static_cast<int>(std::max<long>(0, left.count())));
            } while (ready < 0 && errno == EINTR);
            if (ready == 0) {
                result = ETIMEDOUT;
            } else if (ready < 0) {
                result = errno;
            } else {
                socklen_t length = sizeof result;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &length);
            }
        }
    }
    if (result != 0) {
        ::close(fd);
        fd = -1;
        return result;
    }
    // The channel does its own non-blocking I/O; hand the socket over in blocking mode.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    configureStreamSocket(fd);
    return 0;
}

}  // namespace

TcpConnectResult connectTcp(const std::string& host, std::uint16_t port, double timeoutSeconds) {
    const auto where = host + " port " + std::to_string(port);
    if (host.empty() || port == 0) {
        return {-1, "“" + where + "” is not an address to connect to."};
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const auto service = std::to_string(port);
    if (const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        status != 0) {
        return {-1, "Could not find " + host + ": " + ::gai_strerror(status) + "."};
    }
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(timeoutSeconds));
    int lastError = ECONNREFUSED;
    TcpConnectResult result;
    for (const addrinfo* address = found; address; address = address->ai_next) {
        lastError = connectOne(*address, deadline, result.fd);
        if (lastError == 0 || Clock::now() >= deadline) {
            break;
        }
    }
    ::freeaddrinfo(found);
    if (result.fd < 0) {
        result.error = "Could not connect to " + where + ": " + std::strerror(lastError) + ".";
    }
    return result;
}

}  // namespace quillory
