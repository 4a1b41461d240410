#include "protocol/session_hello.h"

#include "protocol/text_rules.h"

namespace quillory {
namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view whitespace = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(whitespace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(whitespace) - first + 1);
}

}  // namespace

bool SessionHello::isValid(SessionRole ownRole) const {
    return role != ownRole && identity.size() == keyBytes && ephemeral.size() == keyBytes &&
           nonce.size() == nonceBytes && signature.size() == signatureBytes &&
           isValidText(name, 1, maxNameBytes);
}

std::string SessionHello::cleanedName(std::string_view name, SessionRole role) {
    const std::string spaced = replacingControlCharacters(name, " ");
    const std::string_view cut = trimmed(truncatedUTF8(trimmed(spaced), maxNameBytes));
    if (cut.empty()) {
        return role == SessionRole::mac ? "Mac" : "iPad";
    }
    return std::string(cut);
}

Json SessionHello::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<SessionHello> SessionHello::fromJSON(const Json& json) {
    return json_codec::decodeFields<SessionHello>(json);
}

}  // namespace quillory
