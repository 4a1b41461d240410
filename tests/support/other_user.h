#pragma once

#include <sys/types.h>

#include <fstream>

namespace quillory {

// The user that tests running as root become, or give files to, to see a permission refused.
inline constexpr uid_t otherUser = 65534;

// Whether this process may become otherUser or give files to it: not in a user namespace that
// maps only its own user, as the test machine of an ordinary user is.
inline bool otherUserExists() {
    std::ifstream map("/proc/self/uid_map");
    unsigned long inside = 0;
    unsigned long outside = 0;
    unsigned long count = 0;
    while (map >> inside >> outside >> count) {
        if (otherUser >= inside && otherUser - inside < count) {
            return true;
        }
    }
    return false;
}

}  // namespace quillory
