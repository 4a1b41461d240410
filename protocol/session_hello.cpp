#include "protocol/session_hello.h"

#include "protocol/text_rules.h"

namespace quillory {
namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kWhitespace = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kWhitespace) - first + 1);
}

}  // namespace

bool SessionHello::isValid(SessionRole ownRole) const {
    return role != ownRole && identity.size() == kKeyBytes && ephemeral.size() == kKeyBytes &&
           nonce.size() == kNonceBytes && signature.size() == kSignatureBytes &&
           isValidText(name, 1, kMaxNameBytes);
}

std::string SessionHello::cleanedName(std::string_view name, SessionRole role) {
    const std::string spaced = replacingControlCharacters(name, " ");
    const std::string_view cut = trimmed(truncatedUTF8(trimmed(spaced), kMaxNameBytes));
    if (cut.empty()) {
        return role == SessionRole::mac ? "Mac" : "iPad";
    }
    return std::string(cut);
}

OrderedJson SessionHello::toJSON() const {
    return json_codec::ObjectWriter()
        .field("role", role)
        .field("name", name)
        .field("identity", identity)
        .field("ephemeral", ephemeral)
        .field("nonce", nonce)
        .field("intent", intent)
        .field("signature", signature)
        .take();
}

std::optional<SessionHello> SessionHello::fromJSON(const Json& json) {
    SessionHello hello;
    json_codec::ObjectReader reader(json);
    reader.required("role", hello.role);
    reader.required("name", hello.name);
    reader.required("identity", hello.identity);
    reader.required("ephemeral", hello.ephemeral);
    reader.required("nonce", hello.nonce);
    reader.required("intent", hello.intent);
    reader.required("signature", hello.signature);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return hello;
}

}  // namespace quillory
