#include "app/desktop-control/menu/menu_shortcuts.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "app/desktop-control/named_keys.h"
#include "platform/text/text_units.h"

namespace quillory {

namespace {

using K = DesktopKey;

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

struct Name {
    std::string_view name;
    std::optional<DesktopKey> key;  // none: a modifier the tablet cannot press
};

// Qt's portable key names that differ from keysym names.
constexpr std::array<Name, 5> qtKeyNames{{
    {"Del", K::forwardDelete},
    {"Esc", K::escape},
    {"PgUp", K::pageUp},
    {"PgDown", K::pageDown},
    {"Backtab", K::tab},
}};

// GTK's modifier names between angle brackets. Meta is the Alt key on PC keymaps.
constexpr std::array<Name, 12> gtkModifiers{{
    {"Primary", K::control},
    {"Control", K::control},
    {"Ctrl", K::control},
    {"Ctl", K::control},
    {"Shift", K::shift},
    {"Shft", K::shift},
    {"Alt", K::option},
    {"Mod1", K::option},
    {"Meta", K::option},
    {"Super", K::command},
    {"Hyper", std::nullopt},
    {"Release", std::nullopt},
}};

// Qt's modifier names; Meta is the Super key on Linux.
constexpr std::array<Name, 5> qtModifiers{{
    {"Ctrl", K::control},
    {"Control", K::control},
    {"Shift", K::shift},
    {"Alt", K::option},
    {"Meta", K::command},
}};

template <std::size_t N>
const Name* lookUp(const std::array<Name, N>& names, std::string_view name) {
    const auto found = std::find_if(names.begin(), names.end(),
                                    [&](const Name& entry) { return sameName(entry.name, name); });
    return found == names.end() ? nullptr : &*found;
}

struct Chord {
    bool control = false;
    bool option = false;
    bool shift = false;
    bool command = false;

    void add(DesktopKey modifier) {
        bool& flag = modifier == K::control  ? control
                     : modifier == K::option ? option
                     : modifier == K::shift  ? shift
                                             : command;
        flag = true;
    }

    std::vector<DesktopKey> with(std::optional<DesktopKey> key) const {
        if (!key) {
            return {};
        }
        std::vector<DesktopKey> keys;
        for (const auto& [present, modifier] :
             {std::pair{control, K::control}, std::pair{option, K::option},
              std::pair{shift, K::shift}, std::pair{command, K::command}}) {
            if (present) {
                keys.push_back(modifier);
            }
        }
        keys.push_back(*key);
        return isValidKeyChord(keys) ? keys : std::vector<DesktopKey>{};
    }
};

// "<Primary><Shift>s"; "<Release>" only changes when the accelerator fires.
std::vector<DesktopKey> gtkChord(std::string_view accelerator) {
    Chord chord;
    while (!accelerator.empty() && accelerator.front() == '<') {
        const auto close = accelerator.find('>');
        if (close == std::string_view::npos) {
            return {};
        }
        const Name* modifier = lookUp(gtkModifiers, accelerator.substr(1, close - 1));
        if (modifier == nullptr || (!modifier->key && modifier->name != "Release")) {
            return {};
        }
        if (modifier->key) {
            chord.add(*modifier->key);
        }
        accelerator.remove_prefix(close + 1);
    }
    return chord.with(desktopKeyForKeyName(accelerator));
}

// "Ctrl+Shift+S", "Ctrl++"; a sequence of several chords ("Ctrl+K, Ctrl+C") names no key.
std::vector<DesktopKey> qtChord(std::string_view accelerator) {
    std::string_view key = accelerator;
    std::string_view modifiers;
    if (accelerator.size() >= 2 && accelerator.ends_with("++")) {
        key = "+";
        modifiers = accelerator.substr(0, accelerator.size() - 2);
    } else if (const auto plus = accelerator.rfind('+');
               plus != std::string_view::npos && plus + 1 < accelerator.size()) {
        key = accelerator.substr(plus + 1);
        modifiers = accelerator.substr(0, plus);
    }
    Chord chord;
    while (!modifiers.empty()) {
        const auto plus = modifiers.find('+');
        const std::string_view name = modifiers.substr(0, plus);
        modifiers =
            plus == std::string_view::npos ? std::string_view{} : modifiers.substr(plus + 1);
        // Keypad keys carry "Num"; the tablet has no keypad, the same key serves.
        if (sameName(name, "Num")) {
            continue;
        }
        const Name* modifier = lookUp(qtModifiers, name);
        if (modifier == nullptr) {
            return {};
        }
        chord.add(*modifier->key);
    }
    return chord.with(desktopKeyForKeyName(key));
}

}  // namespace

std::optional<DesktopKey> desktopKeyForCharacter(std::string_view character) {
    if (character == "[") {
        return K::leftBracket;
    }
    if (character == "]") {
        return K::rightBracket;
    }
    if (character == " ") {
        return K::space;
    }
    const std::string lower = lowercased(character);
    const auto key = fromRawValue<DesktopKey>(lower);
    if (!key || rawValue(*key).size() != 1) {
        return std::nullopt;
    }
    return key;
}

std::optional<DesktopKey> desktopKeyForKeyName(std::string_view name) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (name.size() == 1) {
        return desktopKeyForCharacter(name);
    }
    if (const auto key = desktopKeyForKeysymName(name)) {
        return key;
    }
    if (const Name* qt = lookUp(qtKeyNames, name)) {
        return qt->key;
    }
    return std::nullopt;
}

std::vector<DesktopKey> chordForKeyBinding(std::string_view binding) {
    // GTK writes three parts: mnemonic, mnemonic path and accelerator. Qt writes the shortcut
    // alone, which may itself hold one ";" ("Ctrl+;").
    std::string_view accelerator = binding;
    if (std::count(binding.begin(), binding.end(), ';') == 2) {
        accelerator = binding.substr(binding.rfind(';') + 1);
    }
    accelerator = trimmed(accelerator);
    if (accelerator.empty()) {
        return {};
    }
    return accelerator.front() == '<' ? gtkChord(accelerator) : qtChord(accelerator);
}

}  // namespace quillory
