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
    if (commands && (commands->size() > maxCommands ||
                     !std::all_of(commands->begin(), commands->end(),
                                  [](const MenuCommand& command) { return command.isValid(); }))) {
        return false;
    }
    return !keys || isValidKeyChord(*keys);
}

Json ControlsSignal::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<ControlsSignal> ControlsSignal::fromJSON(const Json& json) {
    return json_codec::decodeFields<ControlsSignal>(json);
}

}  // namespace quillory
