#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/json_codec.h"
#include "protocol/uuid.h"

namespace quillory {

// Which end of the link a side plays: the host accepts ("mac"), the tablet connects ("pad").
enum class SessionRole { mac, pad };

template <>
struct RawValues<SessionRole> {
    static constexpr std::array<std::string_view, 2> names{"mac", "pad"};
};

// The revealed half of the handshake: who a side is and what it committed to.
struct SessionHello {
    static constexpr std::size_t keyBytes = 32;
    static constexpr std::size_t nonceBytes = 32;
    static constexpr std::size_t signatureBytes = 64;
    static constexpr std::size_t maxNameBytes = 128;

    SessionRole role = SessionRole::mac;
    std::string name;
    Bytes identity;
    Bytes ephemeral;
    Bytes nonce;
    Uuid intent;
    Bytes signature;

    // The role is the opposite of ours, every byte field has its exact length and the name has
    // 1–128 bytes without control characters.
    bool isValid(SessionRole ownRole) const;

    // A sender's own name: control characters become spaces, then trimmed and cut to 128 bytes on
    // a character boundary; an empty result becomes "Mac" or "iPad".
    static std::string cleanedName(std::string_view name, SessionRole role);

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("role", self.role);
        visit("name", self.name);
        visit("identity", self.identity);
        visit("ephemeral", self.ephemeral);
        visit("nonce", self.nonce);
        visit("intent", self.intent);
        visit("signature", self.signature);
    }

    Json toJSON() const;
    static std::optional<SessionHello> fromJSON(const Json& json);

    friend bool operator==(const SessionHello&, const SessionHello&) = default;
};

}  // namespace quillory
