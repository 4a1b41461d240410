#include "platform/keyboard/keymap.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace quillory {
namespace {

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
        std::string error;
        const auto keymap = Keymap::fromNames(layout, {}, &error);
        ASSERT_TRUE(keymap) << error;
        EXPECT_EQ(keymap->stroke(character), stroke) << layout << " " << std::uint32_t(character);
    }
    EXPECT_EQ(Keymap::fromNames("de")->altGrKeyCode(), KEY_RIGHTALT);
    std::string error;
    EXPECT_FALSE(Keymap::fromNames("no-such-layout", {}, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace quillory
