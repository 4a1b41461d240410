#include "platform/webrtc/gstreamer/gathering_address.h"

#include <arpa/inet.h>
#include <netdb.h>

namespace quillory {

std::optional<std::string> gatheringAddress(const std::string& configured) {
    if (configured.empty()) {
        return std::string();
    }
    std::string text = configured;
    if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
    }
    // getaddrinfo also takes inet_aton's short forms ("10.1"), which no link would report.
    in_addr ipv4{};
    if (text.find(':') == std::string::npos && inet_pton(AF_INET, text.c_str(), &ipv4) != 1) {
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> result = text;
    if (found->ai_family == AF_INET6) {
        const auto* address = reinterpret_cast<const sockaddr_in6*>(found->ai_addr);
        if (IN6_IS_ADDR_V4MAPPED(&address->sin6_addr)) {
            char plain[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &address->sin6_addr.s6_addr[12], plain, sizeof plain);
            result = plain;
        }
    }
    freeaddrinfo(found);
    return result;
}

}  // namespace quillory
