#include "app/desktop-control/recorder/recorder_keys.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include "platform/keyboard/keymap.h"

namespace quillory {
namespace {

using K = DesktopKey;

struct KeyCase {
    const char* layout;
    std::uint16_t code;
    std::optional<DesktopKey> expected;  // none: the recorder beeps
};

TEST(RecordedKey, NamedKeysByCodeTypedKeysByTheLayoutsCharacter) {
    const KeyCase cases[] = {
        {"us", KEY_LEFTBRACE, K::leftBracket},
        {"us", KEY_Y, K::y},
        {"us", KEY_GRAVE, K::grave},
        {"de", KEY_Y, K::z},
        {"de", KEY_Z, K::y},
        {"de", KEY_SLASH, K::minus},
        {"de", KEY_MINUS, std::nullopt},  // ß
        {"de", KEY_EQUAL, std::nullopt},  // dead acute
        {"fr", KEY_Q, K::a},
        {"fr", KEY_SEMICOLON, K::m},
        {"fr", KEY_M, K::comma},
        {"fr", KEY_1, std::nullopt},          // &
        {"fr", KEY_LEFTBRACE, std::nullopt},  // dead circumflex
        {"us", KEY_KPENTER, K::enter},
        {"de", KEY_KPENTER, K::enter},
        {"fr", KEY_KPENTER, K::enter},
        {"us", KEY_KP7, std::nullopt},
        {"de", KEY_F13, std::nullopt},
        {"fr", KEY_F12, K::f12},
        {"de", KEY_ENTER, K::enter},
        {"fr", KEY_SPACE, K::space},
        {"us", KEY_ESC, K::escape},
        {"us", KEY_LEFTCTRL, std::nullopt},
    };
    for (const KeyCase& c : cases) {
        const auto compiled = Keymap::fromNames(c.layout);
        ASSERT_TRUE(compiled) << compiled.error();
        const auto& keymap = compiled.value();
        EXPECT_EQ(recordedKey(c.code, keymap.get()), c.expected)
            << c.layout << " evdev code " << c.code;
    }
}

TEST(RecordedKey, UnderANonLatinGroupTheLatinGroupsCharacter) {
    const auto compiledUsRu = Keymap::fromNames("us,ru", "", 1);
    ASSERT_TRUE(compiledUsRu) << compiledUsRu.error();
    const auto& usRu = compiledUsRu.value();
    EXPECT_EQ(recordedKey(KEY_S, usRu.get()), K::s);
    EXPECT_EQ(recordedKey(KEY_LEFTBRACE, usRu.get()), K::leftBracket);
    EXPECT_EQ(recordedKey(KEY_SLASH, usRu.get()), K::period);  // "." is unshifted there in ru
    const auto compiledRu = Keymap::fromNames("ru");
    ASSERT_TRUE(compiledRu) << compiledRu.error();
    const auto& ru = compiledRu.value();
    EXPECT_EQ(recordedKey(KEY_S, ru.get()), std::nullopt);
    EXPECT_EQ(recordedKey(KEY_A, nullptr), std::nullopt);
}

TEST(UnshiftedCharacter, FirstLevelWithoutModifiers) {
    const auto compiled = Keymap::fromNames("de");
    ASSERT_TRUE(compiled) << compiled.error();
    const auto& de = compiled.value();
    EXPECT_EQ(de->unshiftedCharacter(KEY_MINUS), U'ß');
    EXPECT_EQ(de->unshiftedCharacter(KEY_A), U'a');  // never the Caps Lock or Shift level
    EXPECT_EQ(de->unshiftedCharacter(KEY_EQUAL), std::nullopt);
    EXPECT_EQ(de->unshiftedCharacter(KEY_KPENTER), std::nullopt);  // a carriage return
    EXPECT_EQ(de->unshiftedCharacter(KEY_KP1), std::nullopt);
    EXPECT_EQ(de->unshiftedCharacter(KEY_BACKSPACE), std::nullopt);
    EXPECT_EQ(de->unshiftedCharacter(KEY_LEFTSHIFT), std::nullopt);
    EXPECT_EQ(de->unshiftedCharacter(0xfff0), std::nullopt);
}

struct ModifierStep {
    ModifierSet before;
    DesktopKey modifier;
    std::uint16_t code;
    bool pressed;
    std::vector<DesktopKey> held;
};

TEST(HeldModifiers, BeforeStatePlusEachPressAndRelease) {
    const ModifierSet none;
    const ModifierSet shift{.shift = true};
    const ModifierSet controlShift{.control = true, .shift = true};
    const ModifierStep steps[] = {
        {none, K::control, KEY_LEFTCTRL, true, {K::control}},
        {ModifierSet{.control = true}, K::shift, KEY_LEFTSHIFT, true, {K::control, K::shift}},
        {controlShift, K::shift, KEY_RIGHTSHIFT, true, {K::control, K::shift}},
        // The left Shift goes up while the right one stays down.
        {controlShift, K::shift, KEY_LEFTSHIFT, false, {K::control, K::shift}},
        {controlShift, K::shift, KEY_RIGHTSHIFT, false, {K::control}},
        {ModifierSet{.control = true}, K::command, KEY_LEFTMETA, true, {K::control, K::command}},
        {ModifierSet{.control = true, .command = true},
         K::control,
         KEY_LEFTCTRL,
         false,
         {K::command}},
        {ModifierSet{.command = true}, K::command, KEY_LEFTMETA, false, {}},
        // Held before the panel saw it: the state says so, and its release clears it.
        {shift, K::option, KEY_LEFTALT, true, {K::option, K::shift}},
        {ModifierSet{.option = true, .shift = true}, K::shift, KEY_LEFTSHIFT, false, {K::option}},
    };
    HeldModifiers tracker;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const ModifierStep& s = steps[i];
        EXPECT_EQ(tracker.update(s.before, s.modifier, s.code, s.pressed).keys(), s.held)
            << "step " << i;
    }
}

}  // namespace
}  // namespace quillory
