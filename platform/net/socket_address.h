#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>

namespace quillory {

// The numeric text of an IP socket address, an IPv4-mapped one as plain IPv4; nothing for other
// families.
std::optional<std::string> numericAddress(const sockaddr_storage& address);

}  // namespace quillory
