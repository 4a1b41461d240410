#include "tools/pad/pad_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string_view>
#include <utility>

namespace quillory::pad {

const char* const padUsage =
    "Usage: quillory-pad [--json] <command> [options]\n"
    "\n"
    "Commands:\n"
    "  list                          list the computers advertised on the network\n"
    "  pair [--host H --port P]      pair with a computer (found on the network without --host)\n"
    "  draw [--host H]               draw strokes on a paired computer\n"
    "  key <chord> [--host H]        tap a key chord, for example command+z\n"
    "  commands [--host H]           list the menu commands of the computer's front application\n"
    "  record <name> [--host H]      record a shortcut typed on the computer for <name>\n"
    "  studio list [--host H] [--thumbnails DIR]\n"
    "                                list the computer's shareable displays and windows\n"
    "  studio share [--host H] [--source ID | --window NAME] [--preset P]\n"
    "               [--viewport WxH[,actual]] [--seconds S] [--shape SPEC] [--paint-log FILE]\n"
    "                                view a display or window of the computer (the main\n"
    "                                display without --source or --window); while it runs,\n"
    "                                type configure P [WxH], keyframe, shape SPEC|off,\n"
    "                                draw X Y, stop or quit\n"
    "\n"
    "Options:\n"
    "  --json            every event as one JSON line on standard output\n"
    "  --reconnect       reconnect after an interrupted link\n"
    "  --strokes N       strokes to draw (default 3; 0 with --duration draws nothing)\n"
    "  --duration S      draw strokes back to back for S seconds instead of a count\n"
    "  --wait S          seconds to look for computers (default 3)\n"
    "  --name N          this tablet's name (default \"Quillory Pad\")\n"
    "  --intent UUID     continue an earlier session instead of starting a new one\n"
    "  --preset P        quality, balanced (default) or responsive\n"
    "  --viewport WxH    the view's size in pixels; ,actual for the source's own pixels\n"
    "  --seconds S       share for S seconds, then stop (default: until quit)\n"
    "  --shape SPEC      relay the stream and shape it: rate=1.5mbit,loss=2%,delay=20ms\n"
    "  --paint-log FILE  a test window's paint log: print paint-to-decode latency\n";

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

// One command-line option: its name, whether it takes a value, and what it sets.
struct OptionSpec {
    enum class Value { none, any, nonEmpty };

    std::string_view name;
    Value value;
    // Sets the option from its value (empty for options without one); false when it does not fit.
    bool (*apply)(PadOptions& options, const std::string& value);
    // Completes "“<value>” …" when apply refuses the value.
    std::string_view refusal;
    // Instead of apply: sets the option or tells what is wrong with the value.
    std::optional<UsageError> (*parse)(PadOptions& options, const std::string& value) = nullptr;
};

// Sets `field` from a parser's result, or passes its error on.
template <typename Value, typename Parse>
std::optional<UsageError> parsed(std::optional<Value>& field, Parse parse,
                                 const std::string& text) {
    auto result = parse(text);
    if (auto* error = std::get_if<UsageError>(&result)) {
        return *error;
    }
    field = std::get<Value>(std::move(result));
    return std::nullopt;
}

bool refuse(PadOptions&, const std::string&) {
    return false;
}

constexpr OptionSpec optionSpecs[] = {
    {"--json", OptionSpec::Value::none,
     [](PadOptions& options, const std::string&) {
         options.json = true;
         return true;
     }},
    {"--reconnect", OptionSpec::Value::none,
     [](PadOptions& options, const std::string&) {
         options.reconnect = true;
         return true;
     }},
    {"--host", OptionSpec::Value::any,
     [](PadOptions& options, const std::string& text) {
         options.host = text;
         return true;
     }},
    {"--port", OptionSpec::Value::any,
     [](PadOptions& options, const std::string& text) {
         const auto port = parseNumber<std::uint16_t>(text);
         options.port = port;
         return port && *port != 0;
     },
     "is not a port: use a number from 1 to 65535."},
    {"--strokes", OptionSpec::Value::any,
     [](PadOptions& options, const std::string& text) {
         const auto strokes = parseNumber<unsigned>(text);
         options.strokes = strokes.value_or(0);
         return strokes && *strokes <= 100'000;
     },
     "is not a stroke count: use 0 to 100000."},
    {"--duration", OptionSpec::Value::any,
     [](PadOptions& options, const std::string& text) {
         options.duration = parseNumber<double>(text);
         return options.duration && std::isfinite(*options.duration) && *options.duration > 0 &&
                *options.duration <= 86'400;
     },
     "is not a duration: use seconds up to 86400."},
    {"--wait", OptionSpec::Value::any,
     [](PadOptions& options, const std::string& text) {
         const auto wait = parseNumber<double>(text);
         options.wait = wait.value_or(0);
         return wait && std::isfinite(*wait) && *wait > 0 && *wait <= 600;
     },
     "is not a time: use seconds up to 600."},
    {"--name", OptionSpec::Value::nonEmpty,
     [](PadOptions& options, const std::string& text) {
         options.name = text;
         return true;
     }},
    {"--intent", OptionSpec::Value::any,
     [](PadOptions& options, const std::string& text) {
         options.intent = Uuid::parse(text);
         return options.intent.has_value();
     },
     "is not a session identifier (UUID)."},
    {"--thumbnails", OptionSpec::Value::nonEmpty,
     [](PadOptions& options, const std::string& text) {
         options.thumbnails = text;
         return true;
     }},
    {"--source", OptionSpec::Value::any,
     [](PadOptions& options, const std::string& text) {
         options.source = Uuid::parse(text);
         return options.source.has_value();
     },
     "is not a source identifier: use an id that studio list printed."},
    {"--window", OptionSpec::Value::nonEmpty,
     [](PadOptions& options, const std::string& text) {
         options.window = text;
         return true;
     }},
    {"--preset", OptionSpec::Value::any,
     [](PadOptions& options, const std::string& text) {
         options.preset = fromRawValue<StudioPreset>(text);
         return options.preset.has_value();
     },
     "is not a preset: use quality, balanced or responsive."},
    {"--viewport",
     OptionSpec::Value::any,
     refuse,
     {},
     [](PadOptions& options, const std::string& text) {
         return parsed(options.viewport, parseViewport, text);
     }},
    {"--seconds", OptionSpec::Value::any,
     [](PadOptions& options, const std::string& text) {
         options.seconds = parseNumber<double>(text);
         return options.seconds && std::isfinite(*options.seconds) && *options.seconds > 0 &&
                *options.seconds <= 86'400;
     },
     "is not a time: use seconds up to 86400."},
    {"--shape",
     OptionSpec::Value::any,
     refuse,
     {},
     [](PadOptions& options, const std::string& text) {
         return parsed(options.shape, parseShaping, text);
     }},
    {"--paint-log", OptionSpec::Value::nonEmpty,
     [](PadOptions& options, const std::string& text) {
         options.paintLog = text;
         return true;
     }},
};

const OptionSpec* optionNamed(std::string_view name) {
    for (const auto& option : optionSpecs) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

constexpr std::pair<std::string_view, PadOptions::Command> commandNames[] = {
    {"list", PadOptions::Command::list},         {"pair", PadOptions::Command::pair},
    {"draw", PadOptions::Command::draw},         {"key", PadOptions::Command::key},
    {"commands", PadOptions::Command::commands}, {"record", PadOptions::Command::record},
    {"studio", PadOptions::Command::studio},
};

// The longest name a "record" request may carry, in bytes.
constexpr std::size_t maxRecordName = 256;

bool takesArgument(const std::string& command) {
    return command == "key" || command == "record" || command == "studio";
}

// Sets the command and its argument: the chord of key, the name of record.
std::optional<UsageError> applyCommand(PadOptions& options, const std::string& command,
                                       const std::optional<std::string>& argument) {
    const auto* found = std::find_if(std::begin(commandNames), std::end(commandNames),
                                     [&](const auto& entry) { return entry.first == command; });
    if (found == std::end(commandNames)) {
        return UsageError{"Unknown command “" + command +
                          "”: use list, pair, draw, key, commands, record or studio."};
    }
    options.command = found->second;
    if (options.command == PadOptions::Command::studio) {
        if (!argument) {
            return UsageError{
                "Name what Studio should do: quillory-pad studio list, or studio share"};
        }
        if (*argument != "list" && *argument != "share") {
            return UsageError{"Unknown Studio command “" + *argument + "”: use list or share."};
        }
        options.studio = *argument == "list" ? PadOptions::Studio::list : PadOptions::Studio::share;
        return std::nullopt;
    }
    if (options.command == PadOptions::Command::record) {
        if (!argument || argument->empty() || argument->size() > maxRecordName) {
            return UsageError{
                "Name what the shortcut is for (1 to 256 bytes), for example: quillory-pad "
                "record Brush"};
        }
        options.recordName = *argument;
        return std::nullopt;
    }
    if (options.command != PadOptions::Command::key) {
        return std::nullopt;
    }
    if (!argument) {
        return UsageError{"Name the chord to tap, for example: quillory-pad key command+z"};
    }
    auto keys = parseChord(*argument);
    if (auto* error = std::get_if<UsageError>(&keys)) {
        return *error;
    }
    options.chord = std::get<std::vector<DesktopKey>>(std::move(keys));
    return std::nullopt;
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
    std::optional<std::string> commandArgument;
    for (auto argument = arguments.begin(); argument != arguments.end(); ++argument) {
        if (const auto* option = optionNamed(*argument)) {
            std::string value;
            if (option->value != OptionSpec::Value::none) {
                if (std::next(argument) == arguments.end() ||
                    (option->value == OptionSpec::Value::nonEmpty &&
                     std::next(argument)->empty())) {
                    return UsageError{*argument + " needs a value."};
                }
                value = *++argument;
            }
            if (option->parse) {
                if (auto error = option->parse(options, value)) {
                    return *error;
                }
            } else if (!option->apply(options, value)) {
                return UsageError{"“" + value + "” " + std::string(option->refusal)};
            }
        } else if (argument->starts_with("-")) {
            return UsageError{"Unknown option " + *argument + "."};
        } else if (!command) {
            command = *argument;
        } else if (takesArgument(*command) && !commandArgument) {
            commandArgument = *argument;
        } else {
            return UsageError{"Unexpected argument “" + *argument + "”."};
        }
    }
    if (!command) {
        return UsageError{"Name a command: list, pair, draw, key, commands, record or studio."};
    }
    if (auto error = applyCommand(options, *command, commandArgument)) {
        return *error;
    }
    if (options.duration && options.command != PadOptions::Command::draw) {
        return UsageError{"--duration is for draw."};
    }
    if (options.strokes == 0 && !options.duration) {
        return UsageError{"--strokes 0 needs --duration."};
    }
    const bool listing = options.command == PadOptions::Command::studio &&
                         options.studio == PadOptions::Studio::list;
    const bool sharing = options.command == PadOptions::Command::studio &&
                         options.studio == PadOptions::Studio::share;
    if (options.thumbnails && !listing) {
        return UsageError{"--thumbnails belongs to studio list."};
    }
    const std::pair<bool, std::string_view> shareOptions[] = {
        {options.source.has_value(), "--source"},     {options.window.has_value(), "--window"},
        {options.preset.has_value(), "--preset"},     {options.viewport.has_value(), "--viewport"},
        {options.seconds.has_value(), "--seconds"},   {options.shape.has_value(), "--shape"},
        {options.paintLog.has_value(), "--paint-log"}};
    for (const auto& [given, name] : shareOptions) {
        if (given && !sharing) {
            return UsageError{std::string(name) + " belongs to studio share."};
        }
    }
    if (options.source && options.window) {
        return UsageError{"Share either --source or --window, not both."};
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
