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

// One command-line option: its name, whether it takes a value, and what it sets.
struct OptionSpec {
    enum class Value { none, any, nonEmpty };

    std::string_view name;
    Value value;
    // Sets the option from its value (empty for options without one); false when it does not fit.
    bool (*apply)(PadOptions& options, const std::string& value);
    // Completes "“<value>” …" when apply refuses the value.
    std::string_view refusal;
};

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
         return strokes && *strokes != 0 && *strokes <= 100'000;
     },
     "is not a stroke count: use 1 to 100000."},
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
    {"list", PadOptions::Command::list},
    {"pair", PadOptions::Command::pair},
    {"draw", PadOptions::Command::draw},
    {"key", PadOptions::Command::key},
};

// Sets the command and, for key, its chord.
std::optional<UsageError> applyCommand(PadOptions& options, const std::string& command,
                                       const std::optional<std::string>& chord) {
    const auto* found = std::find_if(std::begin(commandNames), std::end(commandNames),
                                     [&](const auto& entry) { return entry.first == command; });
    if (found == std::end(commandNames)) {
        return UsageError{"Unknown command “" + command + "”: use list, pair, draw or key."};
    }
    options.command = found->second;
    if (options.command != PadOptions::Command::key) {
        return std::nullopt;
    }
    if (!chord) {
        return UsageError{"Name the chord to tap, for example: quillory-pad key command+z"};
    }
    auto keys = parseChord(*chord);
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
    std::optional<std::string> chord;
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
            if (!option->apply(options, value)) {
                return UsageError{"“" + value + "” " + std::string(option->refusal)};
            }
        } else if (argument->starts_with("-")) {
            return UsageError{"Unknown option " + *argument + "."};
        } else if (!command) {
            command = *argument;
        } else if (*command == "key" && !chord) {
            chord = *argument;
        } else {
            return UsageError{"Unexpected argument “" + *argument + "”."};
        }
    }
    if (!command) {
        return UsageError{"Name a command: list, pair, draw or key."};
    }
    if (auto error = applyCommand(options, *command, chord)) {
        return *error;
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
