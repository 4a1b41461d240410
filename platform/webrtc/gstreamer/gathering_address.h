#pragma once

#include <optional>
#include <string>

namespace quillory {

// The address ICE gathers on for a configured local address: an IPv4-mapped IPv6 address as
// plain IPv4, an IPv6 link-local address with its scope kept; none given as empty, for every
// local address. Answers nothing for text that is no numeric address.
std::optional<std::string> gatheringAddress(const std::string& configured);

}  // namespace quillory
