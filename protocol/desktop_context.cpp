#include "protocol/desktop_context.h"

#include "protocol/image_rules.h"
#include "protocol/text_rules.h"

namespace quillory {

bool DesktopContext::isValid() const {
    return isValidText(applicationID, 1, 128) && isValidText(name, 1, 256) &&
           (!iconPNG || isValidIconPNG(*iconPNG));
}

OrderedJson DesktopContext::toJSON() const {
    return json_codec::ObjectWriter()
        .field("id", id)
        .field("platform", platform)
        .field("applicationID", applicationID)
        .field("name", name)
        .field("inputEnabled", inputEnabled)
        .field("iconPNG", iconPNG)
        .take();
}

std::optional<DesktopContext> DesktopContext::fromJSON(const Json& json) {
    DesktopContext context;
    json_codec::ObjectReader reader(json);
    reader.required("id", context.id);
    reader.required("platform", context.platform);
    reader.required("applicationID", context.applicationID);
    reader.required("name", context.name);
    reader.required("inputEnabled", context.inputEnabled);
    reader.optional("iconPNG", context.iconPNG);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return context;
}

}  // namespace quillory
