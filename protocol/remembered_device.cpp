#include "protocol/remembered_device.h"

namespace quillory {

std::string hexString(ByteView bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

std::string RememberedDevice::id() const {
    return hexString(crypto::sha256(publicKey));
}

Json RememberedDevice::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<RememberedDevice> RememberedDevice::fromJSON(const Json& json) {
    return json_codec::decodeFields<RememberedDevice>(json);
}

}  // namespace quillory
