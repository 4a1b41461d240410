#pragma once

#include <cstdint>
#include <string>

namespace quillory {

struct TcpConnectResult {
    int fd = -1;        // a connected, tuned socket the caller owns; -1 on failure
    std::string error;  // a sentence for the user when fd is -1
};

// Resolves host (a name or an address; an IPv6 link-local address may carry "%interface") and
// connects to the first address that answers within the time limit. Blocks the calling thread.
TcpConnectResult connectTcp(const std::string& host, std::uint16_t port, double timeoutSeconds);

}  // namespace quillory
