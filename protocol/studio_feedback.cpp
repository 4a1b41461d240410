#include "protocol/studio_feedback.h"

namespace quillory {

bool StudioFeedback::isValid() const {
    return object.is_object() && dumpJSON(object).size() <= maxBytes;
}

std::optional<StudioFeedback> StudioFeedback::fromJSON(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    return StudioFeedback{json};
}

}  // namespace quillory
