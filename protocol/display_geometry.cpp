#include "protocol/display_geometry.h"

namespace quillory {

bool DisplayGeometry::isValid() const {
    return width >= 1 && width <= kMaxSide && height >= 1 && height <= kMaxSide;
}

OrderedJson DisplayGeometry::toJSON() const {
    return json_codec::ObjectWriter().field("width", width).field("height", height).take();
}

std::optional<DisplayGeometry> DisplayGeometry::fromJSON(const Json& json) {
    DisplayGeometry geometry;
    json_codec::ObjectReader reader(json);
    reader.required("width", geometry.width);
    reader.required("height", geometry.height);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return geometry;
}

}  // namespace quillory
