#include "protocol/studio_viewport.h"

#include "protocol/display_geometry.h"

namespace quillory {

bool StudioViewport::isValid() const {
    return DisplayGeometry{width, height}.isValid();
}

OrderedJson StudioViewport::toJSON() const {
    return json_codec::ObjectWriter()
        .field("width", width)
        .field("height", height)
        .field("actualPixels", actualPixels)
        .take();
}

std::optional<StudioViewport> StudioViewport::fromJSON(const Json& json) {
    StudioViewport viewport;
    json_codec::ObjectReader reader(json);
    reader.required("width", viewport.width);
    reader.required("height", viewport.height);
    reader.required("actualPixels", viewport.actualPixels);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return viewport;
}

}  // namespace quillory
