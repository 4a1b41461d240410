#include "tools/pad/pad_options.h"

#include <charconv>
#include <cmath>

namespace quillory::pad {

const char* const kPadUsage =
    "Usage: quillory-pad [--json] <command> [options]\n"
    "\n"
    "Commands:\n"
    "  list                          list the computers advertised on the network\n"
    "  pair [--host H --port P]      pair with a computer (found on the network without --host)\n"
    "  draw [--host H]               draw strokes on a paired computer\n"
    "  key <chord> [--host H]        tap a key chord, for example command+z\n"
    "\n"
    "Options:\n"
    "  --json            every event as one JSON line on standard output\n"
    "  --reconnect       reconnect after an interrupted link\n"
    "  --strokes N       strokes to draw (default 3)\n"
    "  --wait S          seconds to look for computers (default 3)\n"
    "  --name N          this tablet's name (default \"Quillory Pad\")\n"
    "  --intent UUID     continue an earlier session instead of starting a new one\n";

namespace {

template <typename Number>
std::optional<Number> parseNumber(const std::string& text) {
    Number value{};
    const auto end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || last != end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::variant<std::vector<DesktopKey>, UsageError> parseChord(const std::string& text) {
    std::vector<DesktopKey> keys;
    std::size_t start = 0;
    for (;;) {
        const auto plus = text.find('+', start);
        const auto name = text.substr(start, plus == std::string::npos ? plus : plus - start);
        const auto key = fromRawValue<DesktopKey>(name);
        if (!key) {
            return UsageError{"Unknown key “" + name + "” in “" + text +
                              "”. Keys are named like command, shift, a, 1, f5, left."};
        }
        keys.push_back(*key);
        if (plus == std::string::npos) {
            break;
        }
        start = plus + 1;
    }
    if (!isValidKeyChord(keys)) {
        return UsageError{"“" + text +
                          "” is not a key chord: use 1 to 5 different keys with at most one "
                          "that is not command, control, option or shift."};
    }
    return keys;
}

std::variant<PadOptions, UsageError> parsePadOptions(const std::vector<std::string>& arguments) {
    PadOptions options;
    std::optional<std::string> command;
    std::optional<std::string> chord;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const auto& argument = arguments[index];
        auto value = [&]() -> std::optional<std::string> {
            if (index + 1 >= arguments.size()) {
                return std::nullopt;
            }
            return arguments[++index];
        };
        auto missing = [&] { return UsageError{argument + " needs a value."}; };
        if (argument == "--json") {
            options.json = true;
        } else if (argument == "--reconnect") {
            options.reconnect = true;
        } else if (argument == "--host") {
            if (!(options.host = value())) {
                return missing();
            }
        } else if (argument == "--port") {
            const auto text = value();
            if (!text) {
                return missing();
            }
            const auto port = parseNumber<std::uint16_t>(*text);
            if (!port || *port == 0) {
                return UsageError{"“" + *text + "” is not a port: use a number from 1 to 65535."};
            }
            options.port = port;
        } else if (argument == "--strokes") {
            const auto text = value();
            if (!text) {
                return missing();
            }
            const auto strokes = parseNumber<unsigned>(*text);
            if (!strokes || *strokes == 0 || *strokes > 100'000) {
                return UsageError{"“" + *text + "” is not a stroke count: use 1 to 100000."};
            }
            options.strokes = *strokes;
        } else if (argument == "--wait") {
            const auto text = value();
            if (!text) {
                return missing();
            }
            const auto wait = parseNumber<double>(*text);
            if (!wait || !std::isfinite(*wait) || *wait <= 0 || *wait > 600) {
                return UsageError{"“" + *text + "” is not a time: use seconds up to 600."};
            }
            options.wait = *wait;
        } else if (argument == "--name") {
            const auto text = value();
            if (!text || text->empty()) {
                return missing();
            }
            options.name = *text;
        } else if (argument == "--intent") {
            const auto text = value();
            if (!text) {
                return missing();
            }
            if (!(options.intent = Uuid::parse(*text))) {
                return UsageError{"“" + *text + "” is not a session identifier (UUID)."};
            }
        } else if (argument.starts_with("-")) {
            return UsageError{"Unknown option " + argument + "."};
        } else if (!command) {
            command = argument;
        } else if (*command == "key" && !chord) {
            chord = argument;
        } else {
            return UsageError{"Unexpected argument “" + argument + "”."};
        }
    }
    if (!command) {
        return UsageError{"Name a command: list, pair, draw or key."};
    }
    if (*command == "list") {
        options.command = PadOptions::Command::list;
    } else if (*command == "pair") {
        options.command = PadOptions::Command::pair;
    } else if (*command == "draw") {
        options.command = PadOptions::Command::draw;
    } else if (*command == "key") {
        options.command = PadOptions::Command::key;
        if (!chord) {
            return UsageError{"Name the chord to tap, for example: quillory-pad key command+z"};
        }
        auto keys = parseChord(*chord);
        if (auto* error = std::get_if<UsageError>(&keys)) {
            return *error;
        }
        options.chord = std::get<std::vector<DesktopKey>>(std::move(keys));
    } else {
        return UsageError{"Unknown command “" + *command + "”: use list, pair, draw or key."};
    }
    if (options.port && !options.host) {
        return UsageError{"--port needs --host."};
    }
    if (options.command == PadOptions::Command::pair && options.host && !options.port) {
        return UsageError{"--host needs --port when pairing."};
    }
    return options;
}

}  // namespace quillory::pad
