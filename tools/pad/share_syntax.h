#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "protocol/studio_preset.h"
#include "protocol/studio_viewport.h"
#include "tools/pad/usage_error.h"

namespace quillory::pad {

// What the relay between the computer and this tablet does to the stream's packets.
struct LinkShaping {
    std::optional<double> rateBitsPerSecond;  // none: no cap
    double lossFraction = 0;
    double delaySeconds = 0;
    friend bool operator==(const LinkShaping&, const LinkShaping&) = default;
};

// "rate=1.5mbit,loss=2%,delay=20ms" in any order and subset; "off" for none. Rates in bit, kbit,
// mbit or gbit per second, loss in percent or as a fraction, delay in ms or s (ms without a unit).
std::variant<LinkShaping, UsageError> parseShaping(std::string_view text);

// "1280x720" or "1280x720,actual".
std::variant<StudioViewport, UsageError> parseViewport(std::string_view text);

// A line typed while sharing.
struct ShareCommand {
    enum class Kind { configure, keyframe, shape, draw, stop, quit };
    Kind kind = Kind::quit;
    StudioPreset preset = StudioPreset::balanced;  // configure
    std::optional<StudioViewport> viewport;        // configure
    LinkShaping shaping;                           // shape
    double x = 0;                                  // draw: normalised over the picture
    double y = 0;
};

// "configure P [WxH[,actual]]", "keyframe", "shape SPEC|off", "draw X Y", "stop", "quit".
std::variant<ShareCommand, UsageError> parseShareCommand(std::string_view line);

}  // namespace quillory::pad
