#include "protocol/studio_source.h"

#include "protocol/image_rules.h"
#include "protocol/text_rules.h"

namespace quillory {

bool StudioSource::isValid() const {
    return isValidText(name, 1, 256) && (!application || isValidText(*application, 0, 256)) &&
           (!iconPNG || isValidIconPNG(*iconPNG));
}

OrderedJson StudioSource::toJSON() const {
    return json_codec::ObjectWriter()
        .field("id", id)
        .field("kind", kind)
        .field("name", name)
        .field("application", application)
        .field("iconPNG", iconPNG)
        .take();
}

std::optional<StudioSource> StudioSource::fromJSON(const Json& json) {
    StudioSource source;
    json_codec::ObjectReader reader(json);
    reader.required("id", source.id);
    reader.required("kind", source.kind);
    reader.required("name", source.name);
    reader.optional("application", source.application);
    reader.optional("iconPNG", source.iconPNG);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return source;
}

}  // namespace quillory
