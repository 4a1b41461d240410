#include "platform/net/socket_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace quillory {

std::optional<std::string> numericAddress(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        if (::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text)) {
            return std::string(text);
        }
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
            if (::inet_ntop(AF_INET, &v6.sin6_addr.s6_addr[12], text, sizeof text)) {
                return std::string(text);
            }
        } else if (::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text)) {
            return std::string(text);
        }
    }
    return std::nullopt;
}

}  // namespace quillory
