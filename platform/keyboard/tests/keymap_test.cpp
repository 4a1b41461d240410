#include "platform/keyboard/keymap.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace quillory {
namespace {

std::shared_ptr<const Keymap> compiled(const std::string& layout) {
    std::string error;
    auto keymap = Keymap::fromNames(layout, {}, &error);
    EXPECT_TRUE(keymap) << error;
    return keymap;
}

KeyStroke plain(std::uint16_t code) {
    return {code, false, false};
}
KeyStroke shifted(std::uint16_t code) {
    return {code, true, false};
}
KeyStroke altGr(std::uint16_t code) {
    return {code, false, true};
}

TEST(Keymap, GermanLayoutNeedsShiftAndAltGrForPunctuation) {
    const auto keymap = compiled("de");
    ASSERT_TRUE(keymap);
    EXPECT_EQ(keymap->stroke(U'z'), plain(KEY_Y));
    EXPECT_EQ(keymap->stroke(U'/'), shifted(KEY_7));
    EXPECT_EQ(keymap->stroke(U'['), altGr(KEY_8));
    EXPECT_EQ(keymap->stroke(U'\\'), altGr(KEY_MINUS));
    EXPECT_EQ(keymap->stroke(U'-'), plain(KEY_SLASH));
    EXPECT_EQ(keymap->altGrKeyCode(), KEY_RIGHTALT);
}

TEST(Keymap, FrenchLayoutTypesDigitsWithShift) {
    const auto keymap = compiled("fr");
    ASSERT_TRUE(keymap);
    EXPECT_EQ(keymap->stroke(U'a'), plain(KEY_Q));
    EXPECT_EQ(keymap->stroke(U'1'), shifted(KEY_1));
    EXPECT_EQ(keymap->stroke(U'['), altGr(KEY_5));
    EXPECT_EQ(keymap->stroke(U';'), plain(KEY_COMMA));
}

TEST(Keymap, UsLayoutNeedsNoModifierForLettersAndFindsNoKeypadKeys) {
    const auto keymap = compiled("us");
    ASSERT_TRUE(keymap);
    EXPECT_EQ(keymap->stroke(U'a'), plain(KEY_A));
    // Typing the upper-case letter would need shift; the lower-case search wins first.
    EXPECT_EQ(keymap->stroke(U'/'), plain(KEY_SLASH));
    EXPECT_EQ(keymap->stroke(U'*'), shifted(KEY_8));
    EXPECT_EQ(keymap->stroke(U'`'), plain(KEY_GRAVE));
}

TEST(Keymap, ALayoutWithoutLatinLettersCannotTypeThem) {
    const auto keymap = compiled("ru");
    ASSERT_TRUE(keymap);
    EXPECT_FALSE(keymap->stroke(U'a'));
    EXPECT_TRUE(keymap->stroke(U'1'));
}

TEST(Keymap, AnUnknownLayoutIsAnError) {
    std::string error;
    EXPECT_FALSE(Keymap::fromNames("no-such-layout", {}, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace quillory
