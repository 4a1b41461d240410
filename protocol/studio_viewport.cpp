#include "protocol/studio_viewport.h"

#include "protocol/display_geometry.h"

namespace quillory {

bool StudioViewport::isValid() const {
    return DisplayGeometry{width, height}.isValid();
}

Json StudioViewport::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<StudioViewport> StudioViewport::fromJSON(const Json& json) {
    return json_codec::decodeFields<StudioViewport>(json);
}

}  // namespace quillory
