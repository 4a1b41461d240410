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

OrderedJson MenuCommand::toJSON() const {
    return json_codec::ObjectWriter()
        .field("title", title)
        .field("path", path)
        .field("keys", keys)
        .take();
}

std::optional<MenuCommand> MenuCommand::fromJSON(const Json& json) {
    MenuCommand command;
    json_codec::ObjectReader reader(json);
    reader.required("title", command.title);
    reader.required("path", command.path);
    reader.required("keys", command.keys);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return command;
}

}  // namespace quillory
