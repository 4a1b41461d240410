#include "protocol/controls_signal.h"

#include <algorithm>

#include "protocol/text_rules.h"

namespace quillory {

bool ControlsSignal::isValid() const {
    if (applicationID && !isValidText(*applicationID, 1, 128)) {
        return false;
    }
    if (name && !isValidText(*name, 1, 256)) {
        return false;
    }
    if (commands && (commands->size() > kMaxCommands ||
                     !std::all_of(commands->begin(), commands->end(),
                                  [](const MenuCommand& command) { return command.isValid(); }))) {
        return false;
    }
    return !keys || isValidKeyChord(*keys);
}

OrderedJson ControlsSignal::toJSON() const {
    return json_codec::ObjectWriter()
        .field("id", id)
        .field("kind", kind)
        .field("applicationID", applicationID)
        .field("name", name)
        .field("commands", commands)
        .field("keys", keys)
        .field("final", final)
        .take();
}

std::optional<ControlsSignal> ControlsSignal::fromJSON(const Json& json) {
    ControlsSignal signal;
    json_codec::ObjectReader reader(json);
    reader.required("id", signal.id);
    reader.required("kind", signal.kind);
    reader.optional("applicationID", signal.applicationID);
    reader.optional("name", signal.name);
    reader.optional("commands", signal.commands);
    reader.optional("keys", signal.keys);
    reader.optional("final", signal.final);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return signal;
}

}  // namespace quillory
