#include "platform/net/dns_sd.h"

namespace quillory {

std::string dnsSdInstanceName(std::string_view name) {
    if (name.size() <= dnsSdNameLimit) {
        return std::string(name);
    }
    std::size_t end = dnsSdNameLimit;
    // Step back over continuation bytes to the start of the character that does not fit.
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
        --end;
    }
    return std::string(name.substr(0, end));
}

}  // namespace quillory
