#include "protocol/display_geometry.h"

namespace quillory {

bool DisplayGeometry::isValid() const {
    return width >= 1 && width <= maxSide && height >= 1 && height <= maxSide;
}

Json DisplayGeometry::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<DisplayGeometry> DisplayGeometry::fromJSON(const Json& json) {
    return json_codec::decodeFields<DisplayGeometry>(json);
}

}  // namespace quillory
