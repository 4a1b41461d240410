#include "protocol/menu_command.h"

#include <algorithm>

#include "protocol/text_rules.h"

namespace quillory {

bool MenuCommand::isValid() const {
    const auto validTitle = [](const std::string& text) { return isValidText(text, 1, 128); };
    return validTitle(title) && path.size() <= 6 &&
           std::all_of(path.begin(), path.end(), validTitle) &&
           (keys.empty() || isValidKeyChord(keys));
}

Json MenuCommand::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<MenuCommand> MenuCommand::fromJSON(const Json& json) {
    return json_codec::decodeFields<MenuCommand>(json);
}

}  // namespace quillory
