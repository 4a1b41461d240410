#include "protocol/studio_source.h"

#include "protocol/image_rules.h"
#include "protocol/text_rules.h"

namespace quillory {

bool StudioSource::isValid() const {
    return isValidText(name, 1, 256) && (!application || isValidText(*application, 0, 256)) &&
           (!iconPNG || isValidIconPNG(*iconPNG));
}

Json StudioSource::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<StudioSource> StudioSource::fromJSON(const Json& json) {
    return json_codec::decodeFields<StudioSource>(json);
}

}  // namespace quillory
