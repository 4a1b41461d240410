#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "protocol/desktop_key.h"
#include "protocol/uuid.h"

namespace quillory::pad {

struct PadOptions {
    enum class Command { list, pair, draw, key };

    Command command = Command::list;
    std::optional<std::string> host;  // pair: address or name; draw/key: a remembered host
    std::optional<std::uint16_t> port;
    std::vector<DesktopKey> chord;  // key
    bool json = false;
    bool reconnect = false;
    std::optional<Uuid> intent;  // resume a session intent instead of starting a new one
    std::string name = "Quillory Pad";
    unsigned strokes = 3;
    double wait = 3.0;  // seconds of browsing
};

struct UsageError {
    std::string message;
};

std::variant<PadOptions, UsageError> parsePadOptions(const std::vector<std::string>& arguments);

// "command+shift+z" → keys; a message for the user when it is no valid chord.
std::variant<std::vector<DesktopKey>, UsageError> parseChord(const std::string& text);

extern const char* const padUsage;

}  // namespace quillory::pad
