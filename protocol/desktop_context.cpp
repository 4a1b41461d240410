#include "protocol/desktop_context.h"

#include "protocol/image_rules.h"
#include "protocol/text_rules.h"

namespace quillory {

bool DesktopContext::isValid() const {
    return isValidText(applicationID, 1, 128) && isValidText(name, 1, 256) &&
           (!iconPNG || isValidIconPNG(*iconPNG));
}

Json DesktopContext::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<DesktopContext> DesktopContext::fromJSON(const Json& json) {
    return json_codec::decodeFields<DesktopContext>(json);
}

}  // namespace quillory
