#include "protocol/desktop_action.h"

namespace quillory {

bool DesktopAction::isValid() const {
    if (!keys.empty() && !isValidKeyChord(keys)) {
        return false;
    }
    switch (kind) {
        case Kind::tap:
            return !keys.empty();
        case Kind::begin:
            return !keys.empty() && token.has_value();
        case Kind::end:
            return token.has_value();
        case Kind::releaseAll:
        case Kind::keepAlive:
            return true;
    }
    return false;
}

Json DesktopAction::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<DesktopAction> DesktopAction::fromJSON(const Json& json) {
    return json_codec::decodeFields<DesktopAction>(json);
}

}  // namespace quillory
