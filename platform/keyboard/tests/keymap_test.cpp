#include "platform/keyboard/keymap.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace quillory {
namespace {

// With several groups the active one types what it can; the rest comes from the first group that
// types it, as X applications match Ctrl+Z on the key that types "z" in any group.
TEST(Keymap, ACharacterTheActiveGroupLacksComesFromTheFirstGroupWithIt) {
    struct Row {
        const char* layouts;
        std::uint32_t active;
        char32_t character;
        std::optional<KeyStroke> stroke;
    };
    const Row table[] = {
        {"us,ru", 1, U'z', KeyStroke{KEY_Z, false, false}},
        {"us,ru", 1, U'/', KeyStroke{KEY_102ND, false, false}},  // the active group types it
        {"us,ru", 1, U'1', KeyStroke{KEY_1, false, false}},
        {"us,ru", 1, U'.', KeyStroke{KEY_SLASH, false, false}},   // ru types "." there
        {"us,ru", 0, U'\u044f', KeyStroke{KEY_Z, false, false}},  // Cyrillic ya
        {"de,us", 0, U'z', KeyStroke{KEY_Y, false, false}},
        {"de,us", 0, U'[', KeyStroke{KEY_8, false, true}},
        {"de,us", 1, U'z', KeyStroke{KEY_Z, false, false}},
        {"de,us", 1, U'\u00f6', KeyStroke{KEY_SEMICOLON, false, false}},  // o-umlaut from de
        {"fr", 0, U'z', KeyStroke{KEY_W, false, false}},
        {"ru", 0, U'z', std::nullopt},
    };
    for (const auto& [layouts, active, character, stroke] : table) {
        const auto compiled = Keymap::fromNames(layouts, {}, active);
        ASSERT_TRUE(compiled) << compiled.error();
        const auto& keymap = compiled.value();
        EXPECT_EQ(keymap->layoutIndex(), active);
        EXPECT_EQ(keymap->stroke(character), stroke)
            << layouts << " group " << active << " " << std::uint32_t(character);
    }
}

// Character → key and level, built offline per layout: Shift and AltGr levels in de and fr, the
// plain level found first in us, no Latin letters in ru.
TEST(Keymap, CharactersFindTheirKeyAndLevel) {
    struct Row {
        const char* layout;
        char32_t character;
        std::optional<KeyStroke> stroke;
    };
    const Row table[] = {
        {"de", U'z', KeyStroke{KEY_Y, false, false}},
        {"de", U'/', KeyStroke{KEY_7, true, false}},
        {"de", U'[', KeyStroke{KEY_8, false, true}},
        {"de", U'\\', KeyStroke{KEY_MINUS, false, true}},
        {"de", U'-', KeyStroke{KEY_SLASH, false, false}},
        {"fr", U'a', KeyStroke{KEY_Q, false, false}},
        {"fr", U'1', KeyStroke{KEY_1, true, false}},
        {"fr", U'[', KeyStroke{KEY_5, false, true}},
        {"fr", U';', KeyStroke{KEY_COMMA, false, false}},
        {"us", U'a', KeyStroke{KEY_A, false, false}},
        {"us", U'/', KeyStroke{KEY_SLASH, false, false}},
        {"us", U'*', KeyStroke{KEY_8, true, false}},
        {"ru", U'a', std::nullopt},
        {"ru", U'1', KeyStroke{KEY_1, false, false}},
    };
    for (const auto& [layout, character, stroke] : table) {
        const auto compiled = Keymap::fromNames(layout);
        ASSERT_TRUE(compiled) << compiled.error();
        const auto& keymap = compiled.value();
        EXPECT_EQ(keymap->stroke(character), stroke) << layout << " " << std::uint32_t(character);
    }
    EXPECT_EQ(Keymap::fromNames("de").value()->altGrKeyCode(), KEY_RIGHTALT);
    const auto unknown = Keymap::fromNames("no-such-layout");
    ASSERT_FALSE(unknown);
    EXPECT_FALSE(unknown.error().empty());
}

}  // namespace
}  // namespace quillory
