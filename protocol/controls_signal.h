#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "protocol/desktop_key.h"
#include "protocol/json_codec.h"
#include "protocol/menu_command.h"
#include "protocol/uuid.h"

namespace quillory {

// Menu and shortcut exchange with the tablet. Every answer copies its request's id.
struct ControlsSignal {
    enum class Kind { listCommands, commands, record, recorded, cancelRecording };

    static constexpr std::size_t maxCommands = 120;

    Uuid id;
    Kind kind = Kind::listCommands;
    std::optional<std::string> applicationID;
    std::optional<std::string> name;
    std::optional<std::vector<MenuCommand>> commands;
    std::optional<std::vector<DesktopKey>> keys;
    std::optional<bool> final;

    // Each present field obeys its rule (applicationID 1–128 bytes, name 1–256 bytes, at most 120
    // valid commands, keys a chord). Which fields a kind carries is left to the receiver.
    bool isValid() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("id", self.id);
        visit("kind", self.kind);
        visit("applicationID", self.applicationID);
        visit("name", self.name);
        visit("commands", self.commands);
        visit("keys", self.keys);
        visit("final", self.final);
    }

    Json toJSON() const;
    static std::optional<ControlsSignal> fromJSON(const Json& json);

    friend bool operator==(const ControlsSignal&, const ControlsSignal&) = default;
};

template <>
struct RawValues<ControlsSignal::Kind> {
    static constexpr std::array<std::string_view, 5> names{"listCommands", "commands", "record",
                                                           "recorded", "cancelRecording"};
};

}  // namespace quillory
