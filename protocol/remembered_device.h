#pragma once

#include <optional>
#include <string>

#include "platform/crypto/crypto.h"
#include "protocol/json_codec.h"

namespace quillory {

// A tablet this computer trusts: its raw public signing key (never changed after creation) and
// the name shown to the user.
struct RememberedDevice {
    Bytes publicKey;
    std::string name;

    // The device key: lowercase hex of SHA-256(publicKey), two digits per byte.
    std::string id() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("publicKey", self.publicKey);
        visit("name", self.name);
    }

    Json toJSON() const;
    static std::optional<RememberedDevice> fromJSON(const Json& json);

    friend bool operator==(const RememberedDevice&, const RememberedDevice&) = default;
};

// Lowercase hex, two digits per byte, no separator.
std::string hexString(ByteView bytes);

}  // namespace quillory
