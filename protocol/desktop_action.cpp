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

OrderedJson DesktopAction::toJSON() const {
    return json_codec::ObjectWriter()
        .field("contextID", contextID)
        .field("studioID", studioID)
        .field("kind", kind)
        .field("token", token)
        .field("keys", keys)
        .take();
}

std::optional<DesktopAction> DesktopAction::fromJSON(const Json& json) {
    DesktopAction action;
    json_codec::ObjectReader reader(json);
    reader.required("contextID", action.contextID);
    reader.optional("studioID", action.studioID);
    reader.required("kind", action.kind);
    reader.optional("token", action.token);
    reader.required("keys", action.keys);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return action;
}

}  // namespace quillory
