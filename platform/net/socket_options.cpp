#include "platform/net/socket_options.h"

#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace quillory {

void configureStreamSocket(int fd) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // AF41 in the upper six bits; refusals (EPERM, or the wrong family) only cost the marking.
    const int trafficClass = 0x88;
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return;
    }
    if (local.ss_family == AF_INET6) {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_TCLASS, &trafficClass, sizeof trafficClass);
    }
    // A dual-stack socket carries IPv4-mapped traffic too, which takes the IPv4 marking.
    ::setsockopt(fd, IPPROTO_IP, IP_TOS, &trafficClass, sizeof trafficClass);
}

}  // namespace quillory
