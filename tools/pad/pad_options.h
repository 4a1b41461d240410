#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "protocol/desktop_key.h"
#include "protocol/studio_preset.h"
#include "protocol/studio_viewport.h"
#include "protocol/uuid.h"
#include "tools/pad/share_syntax.h"
#include "tools/pad/usage_error.h"

namespace quillory::pad {

struct PadOptions {
    enum class Command { list, pair, draw, key, commands, record, studio };

    Command command = Command::list;
    std::optional<std::string> host;  // pair: address or name; draw/key: a remembered host
    std::optional<std::uint16_t> port;
    std::vector<DesktopKey> chord;          // key
    std::string recordName;                 // record: what the recorded shortcut is for
    std::optional<std::string> thumbnails;  // studio list: folder for the JPEGs
    enum class Studio { list, share };
    Studio studio = Studio::list;
    // studio share: what (the main display without either), how, for how long, over what.
    std::optional<Uuid> source;
    std::optional<std::string> window;
    std::optional<StudioPreset> preset;
    std::optional<StudioViewport> viewport;
    std::optional<double> seconds;  // none: until "quit" or the end of input
    std::optional<LinkShaping> shape;
    std::optional<std::string> paintLog;
    bool json = false;
    bool reconnect = false;
    std::optional<Uuid> intent;  // resume a session intent instead of starting a new one
    std::string name = "Quillory Pad";
    unsigned strokes = 3;
    // draw: strokes back to back for this many seconds instead of a count; none with --strokes 0.
    std::optional<double> duration;
    double wait = 3.0;  // seconds of browsing
};

std::variant<PadOptions, UsageError> parsePadOptions(const std::vector<std::string>& arguments);

// "command+shift+z" → keys; a message for the user when it is no valid chord.
std::variant<std::vector<DesktopKey>, UsageError> parseChord(const std::string& text);

extern const char* const padUsage;

}  // namespace quillory::pad
