#pragma once

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "media/studio_performance.h"

namespace quillory::testing {

// An environment with a clock that moves only when told and a fixed thermal state.
inline StudioPerformance::Environment fakeEnvironment(std::shared_ptr<FakeClock> clock) {
    return {clock,
            [] { return ThermalState::fair; },
            [] { return std::string("Linux test"); },
            "1.2.3",
            "45",
            nullptr};
}

inline StudioStatistics entry(std::string id, std::string type, double seconds,
                              std::map<std::string, StudioStatisticValue> values) {
    return {std::move(id), std::move(type), seconds * 1e6, std::move(values)};
}

// An IPv4 address of this machine in dotted form with its interface name, found independently of
// the code under test; none on a machine without one.
inline std::optional<std::pair<std::string, std::string>> someLocalAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return std::nullopt;
    }
    std::optional<std::pair<std::string, std::string>> found;
    for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
            char text[INET_ADDRSTRLEN];
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr) {
                found.emplace(text, entry->ifa_name);
            }
        }
    }
    freeifaddrs(list);
    return found;
}

}  // namespace quillory::testing
