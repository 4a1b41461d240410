#include "platform/keyboard/keymap.h"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <memory>

namespace quillory {

namespace {

// xkb key codes are evdev codes shifted by 8.
constexpr xkb_keycode_t evdevOffset = 8;

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct StateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};

bool isKeypad(xkb_keysym_t symbol) {
    return symbol >= XKB_KEY_KP_Space && symbol <= XKB_KEY_KP_9;
}

bool isDeadKey(xkb_keysym_t symbol) {
    return symbol >= XKB_KEY_dead_grave && symbol <= XKB_KEY_dead_longsolidusoverlay;
}

char32_t lowercased(char32_t character) {
    return character >= U'A' && character <= U'Z' ? character + (U'a' - U'A') : character;
}

// The key whose first level in `layout` is `symbol`, preferring `preferred`.
std::optional<xkb_keycode_t> keyProducing(xkb_keymap* keymap, std::uint32_t layout,
                                          xkb_keysym_t symbol, xkb_keycode_t preferred) {
    const auto produces = [&](xkb_keycode_t key) {
        const xkb_keysym_t* symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, key, layout, 0, &symbols);
        return count == 1 && symbols[0] == symbol;
    };
    if (produces(preferred)) {
        return preferred;
    }
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= xkb_keymap_max_keycode(keymap);
         ++key) {
        if (produces(key)) {
            return key;
        }
    }
    return std::nullopt;
}

}  // namespace

Result<std::shared_ptr<const Keymap>, std::string> Keymap::fromNames(const std::string& layout,
                                                                     const std::string& variant,
                                                                     std::uint32_t layoutIndex) {
    std::unique_ptr<xkb_context, ContextDeleter> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        return Failure(std::string("cannot create an xkb context"));
    }
    xkb_rule_names names{};
    names.rules = "evdev";
    names.model = "pc105";
    names.layout = layout.c_str();
    names.variant = variant.c_str();
    xkb_keymap* keymap =
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        return Failure("cannot compile the keyboard layout \"" + layout + "\"");
    }
    return std::make_shared<const Keymap>(keymap, layoutIndex);
}

Keymap::Keymap(xkb_keymap* keymap, std::uint32_t layoutIndex)
    : keymap_(keymap),
      layoutIndex_(layoutIndex < xkb_keymap_num_layouts(keymap) ? layoutIndex : 0) {
    buildStrokes();
}

Keymap::~Keymap() {
    xkb_keymap_unref(keymap_);
}

std::string Keymap::layoutName() const {
    const char* name = xkb_keymap_layout_get_name(keymap_, layoutIndex_);
    return name ? name : "";
}

std::optional<KeyStroke> Keymap::stroke(char32_t character) const {
    const auto found = strokes_.find(character);
    if (found == strokes_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<char32_t> Keymap::unshiftedCharacter(std::uint16_t evdevCode) const {
    const xkb_keysym_t* symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(
        keymap_, xkb_keycode_t{evdevCode} + evdevOffset, layoutIndex_, 0, &symbols);
    if (count != 1 || isKeypad(symbols[0]) || isDeadKey(symbols[0])) {
        return std::nullopt;
    }
    const char32_t character = xkb_keysym_to_utf32(symbols[0]);
    if (character < U' ' || (character >= 0x7f && character < 0xa0)) {
        return std::nullopt;
    }
    return character;
}

void Keymap::buildStrokes() {
    // The injector presses Shift and AltGr as the active group defines them.
    const auto shiftKey = keyProducing(keymap_, layoutIndex_, XKB_KEY_Shift_L, 42 + evdevOffset);
    const auto levelThreeKey =
        keyProducing(keymap_, layoutIndex_, XKB_KEY_ISO_Level3_Shift, 100 + evdevOffset);
    if (levelThreeKey) {
        altGrKeyCode_ = static_cast<std::uint16_t>(*levelThreeKey - evdevOffset);
    }
    addStrokes(layoutIndex_, shiftKey, levelThreeKey);
    for (std::uint32_t group = 0; group < xkb_keymap_num_layouts(keymap_); ++group) {
        if (group != layoutIndex_) {
            addStrokes(group, shiftKey, levelThreeKey);
        }
    }
}

// Adds the characters `group` types that no earlier group claimed.
void Keymap::addStrokes(std::uint32_t group, std::optional<xkb_keycode_t> shiftKey,
                        std::optional<xkb_keycode_t> levelThreeKey) {
    struct Row {
        bool shift;
        bool altGr;
    };
    constexpr std::array<Row, 4> rows{{{false, false}, {true, false}, {false, true}, {true, true}}};
    for (const Row& row : rows) {
        if ((row.shift && !shiftKey) || (row.altGr && !levelThreeKey)) {
            continue;
        }
        // Pressing the modifier keys in the active group gives exactly the modifiers the
        // injector will set; the level they select is then read in `group`.
        std::unique_ptr<xkb_state, StateDeleter> pressing(xkb_state_new(keymap_));
        xkb_state_update_mask(pressing.get(), 0, 0, 0, 0, 0, layoutIndex_);
        if (row.shift) {
            xkb_state_update_key(pressing.get(), *shiftKey, XKB_KEY_DOWN);
        }
        if (row.altGr) {
            xkb_state_update_key(pressing.get(), *levelThreeKey, XKB_KEY_DOWN);
        }
        std::unique_ptr<xkb_state, StateDeleter> state(xkb_state_new(keymap_));
        xkb_state_update_mask(
            state.get(), xkb_state_serialize_mods(pressing.get(), XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(pressing.get(), XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(pressing.get(), XKB_STATE_MODS_LOCKED), 0, 0, group);
        const xkb_keycode_t last =
            std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap_), 255 + evdevOffset);
        for (xkb_keycode_t key =
                 std::max<xkb_keycode_t>(xkb_keymap_min_keycode(keymap_), evdevOffset + 1);
             key <= last; ++key) {
            const xkb_keysym_t symbol = xkb_state_key_get_one_sym(state.get(), key);
            if (symbol == XKB_KEY_NoSymbol || isKeypad(symbol)) {
                continue;
            }
            const char32_t character = lowercased(xkb_keysym_to_utf32(symbol));
            if (character != 0) {
                strokes_.try_emplace(
                    character,
                    KeyStroke{static_cast<std::uint16_t>(key - evdevOffset), row.shift, row.altGr});
            }
        }
    }
}

}  // namespace quillory
