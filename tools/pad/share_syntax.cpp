#include "tools/pad/share_syntax.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace quillory::pad {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> found;
    std::size_t at = 0;
    while (at < line.size()) {
        const auto start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) {
            break;
        }
        const auto end = line.find_first_of(" \t", start);
        found.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
        at = end == std::string_view::npos ? line.size() : end;
    }
    return found;
}

// A finite number followed by one of `units` (or by nothing when the first unit is empty),
// scaled by that unit's factor.
struct Unit {
    std::string_view suffix;
    double factor;
};

template <std::size_t N>
std::optional<double> measure(std::string_view text, const Unit (&units)[N]) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || !std::isfinite(value)) {
        return std::nullopt;
    }
    const std::string_view suffix(end, static_cast<std::size_t>(text.data() + text.size() - end));
    for (const auto& unit : units) {
        if (suffix == unit.suffix) {
            return value * unit.factor;
        }
    }
    return std::nullopt;
}

constexpr Unit rateUnits[] = {{"bit", 1}, {"kbit", 1e3}, {"mbit", 1e6}, {"gbit", 1e9}};
constexpr Unit lossUnits[] = {{"", 1}, {"%", 0.01}};
constexpr Unit delayUnits[] = {{"", 1e-3}, {"ms", 1e-3}, {"s", 1}};

std::optional<double> parseUnit(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < 0 || value > 1) {
        return std::nullopt;
    }
    return value;
}

UsageError shapingError(std::string_view text, std::string_view why) {
    return UsageError{"“" + std::string(text) + "” is not a network shaping: " + std::string(why) +
                      " Write for example rate=1.5mbit,loss=2%,delay=20ms, or off."};
}

}  // namespace

std::variant<LinkShaping, UsageError> parseShaping(std::string_view text) {
    if (text == "off") {
        return LinkShaping{};
    }
    LinkShaping shaping;
    bool rate = false, loss = false, delay = false;
    for (const auto part : split(text, ',')) {
        const auto equals = part.find('=');
        const auto key = part.substr(0, equals);
        const auto value =
            equals == std::string_view::npos ? std::string_view{} : part.substr(equals + 1);
        if (key == "rate" && !rate) {
            const auto bits = measure(value, rateUnits);
            if (!bits || *bits < 1e3 || *bits > 1e10) {
                return shapingError(text, "a rate is 1kbit to 10gbit.");
            }
            shaping.rateBitsPerSecond = *bits;
            rate = true;
        } else if (key == "loss" && !loss) {
            const auto fraction = measure(value, lossUnits);
            if (!fraction || *fraction < 0 || *fraction > 1) {
                return shapingError(text, "a loss is 0% to 100%.");
            }
            shaping.lossFraction = *fraction;
            loss = true;
        } else if (key == "delay" && !delay) {
            const auto seconds = measure(value, delayUnits);
            if (!seconds || *seconds < 0 || *seconds > 5) {
                return shapingError(text, "a delay is 0 to 5 s each way.");
            }
            shaping.delaySeconds = *seconds;
            delay = true;
        } else {
            return shapingError(text, "it names rate, loss and delay once each.");
        }
    }
    return shaping;
}

std::variant<StudioViewport, UsageError> parseViewport(std::string_view text) {
    const auto parts = split(text, ',');
    const auto sides = split(parts[0], 'x');
    StudioViewport viewport;
    const auto side = [](std::string_view digits, std::int64_t& value) {
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return error == std::errc() && end == digits.data() + digits.size();
    };
    const bool fits = parts.size() <= 2 && sides.size() == 2 && side(sides[0], viewport.width) &&
                      side(sides[1], viewport.height) &&
                      (parts.size() == 1 || parts[1] == "actual") && viewport.isValid();
    if (!fits) {
        return UsageError{"“" + std::string(text) +
                          "” is not a viewport: write WxH with sides up to 16384, for example "
                          "1280x720, and ,actual for the source's own pixels."};
    }
    viewport.actualPixels = parts.size() == 2;
    return viewport;
}

std::variant<ShareCommand, UsageError> parseShareCommand(std::string_view line) {
    const auto parts = words(line);
    ShareCommand command;
    const auto name = parts.empty() ? std::string_view{} : parts[0];
    if ((name == "keyframe" || name == "stop" || name == "quit") && parts.size() == 1) {
        command.kind = name == "keyframe" ? ShareCommand::Kind::keyframe
                       : name == "stop"   ? ShareCommand::Kind::stop
                                          : ShareCommand::Kind::quit;
        return command;
    }
    if (name == "configure" && (parts.size() == 2 || parts.size() == 3)) {
        const auto preset = fromRawValue<StudioPreset>(parts[1]);
        if (!preset) {
            return UsageError{"Unknown preset “" + std::string(parts[1]) +
                              "”: use quality, balanced or responsive."};
        }
        command.kind = ShareCommand::Kind::configure;
        command.preset = *preset;
        if (parts.size() == 3) {
            auto viewport = parseViewport(parts[2]);
            if (auto* error = std::get_if<UsageError>(&viewport)) {
                return *error;
            }
            command.viewport = std::get<StudioViewport>(viewport);
        }
        return command;
    }
    if (name == "shape" && parts.size() == 2) {
        auto shaping = parseShaping(parts[1]);
        if (auto* error = std::get_if<UsageError>(&shaping)) {
            return *error;
        }
        command.kind = ShareCommand::Kind::shape;
        command.shaping = std::get<LinkShaping>(shaping);
        return command;
    }
    if (name == "draw" && parts.size() == 3) {
        const auto x = parseUnit(parts[1]);
        const auto y = parseUnit(parts[2]);
        if (!x || !y) {
            return UsageError{"draw wants X and Y from 0 to 1, for example: draw 0.5 0.5"};
        }
        command.kind = ShareCommand::Kind::draw;
        command.x = *x;
        command.y = *y;
        return command;
    }
    return UsageError{"Unknown command “" + std::string(line) +
                      "”: use configure P [WxH], keyframe, shape SPEC|off, draw X Y, stop or "
                      "quit."};
}

}  // namespace quillory::pad
