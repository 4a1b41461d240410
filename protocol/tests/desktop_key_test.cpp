#include "protocol/desktop_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "protocol/held_desktop_keys.h"

namespace quillory {
namespace {

using enum DesktopKey;
using Keys = std::vector<DesktopKey>;

TEST(DesktopKey, RawValuesAndOrder) {
    const auto keys = allCases<DesktopKey>();
    ASSERT_EQ(keys.size(), 77U);
    EXPECT_EQ(keys.front(), command);
    EXPECT_EQ(keys[4], a);
    EXPECT_EQ(keys[30], space);
    EXPECT_EQ(keys[37], digit0);
    EXPECT_EQ(keys.back(), f12);
    EXPECT_EQ(std::count_if(keys.begin(), keys.end(), isModifier), 4);

    EXPECT_EQ(rawValue(leftBracket), "leftBracket");
    EXPECT_EQ(rawValue(digit7), "7");
    EXPECT_EQ(rawValue(backslash), "\\");
    EXPECT_EQ(rawValue(grave), "`");
    EXPECT_EQ(rawValue(quote), "'");
    EXPECT_EQ(fromRawValue<DesktopKey>("/"), slash);
    EXPECT_EQ(fromRawValue<DesktopKey>("forwardDelete"), forwardDelete);
    for (const char* text : {"[", "digit0", "A", "F1", "slash", " a", ""}) {
        EXPECT_FALSE(fromRawValue<DesktopKey>(text)) << text;
    }
    for (const DesktopKey key : keys) {
        EXPECT_EQ(fromRawValue<DesktopKey>(rawValue(key)), key);
    }
}

TEST(DesktopKey, Symbols) {
    EXPECT_EQ(symbol(control), "⌃");
    EXPECT_EQ(symbol(option), "⌥");
    EXPECT_EQ(symbol(shift), "⇧");
    EXPECT_EQ(symbol(command), "⌘");
    EXPECT_EQ(symbol(forwardDelete), "⌦");
    EXPECT_EQ(symbol(pageDown), "⇟");
    EXPECT_EQ(symbol(down), "↓");
    EXPECT_EQ(symbol(space), "Space");
    EXPECT_EQ(symbol(leftBracket), "[");
    EXPECT_EQ(symbol(q), "Q");
    EXPECT_EQ(symbol(f11), "F11");
    EXPECT_EQ(symbol(grave), "`");
    EXPECT_EQ(symbol(digit3), "3");
}

TEST(DesktopKey, DisplayTextOrdersModifiersAndSpacesALoneSpace) {
    EXPECT_EQ(displayText(Keys{}), "");
    EXPECT_EQ(displayText(Keys{command, shift, option, control, z}), "⌃⌥⇧⌘Z");
    EXPECT_EQ(displayText(Keys{z, command}), "⌘Z");
    EXPECT_EQ(displayText(Keys{command, space}), "⌘ Space");
    EXPECT_EQ(displayText(Keys{space}), "Space");
    EXPECT_EQ(displayText(Keys{shift}), "⇧");
    // Only a second part that is exactly "Space" gets the blank.
    EXPECT_EQ(displayText(Keys{shift, space, a}), "⇧SpaceA");
    EXPECT_EQ(displayText(Keys{command, command, s}), "⌘S");
}

TEST(DesktopKey, KeyChords) {
    EXPECT_TRUE(isValidKeyChord(Keys{a}));
    EXPECT_TRUE(isValidKeyChord(Keys{command, control, option, shift, f5}));
    EXPECT_TRUE(isValidKeyChord(Keys{command, shift}));
    EXPECT_FALSE(isValidKeyChord(Keys{}));
    EXPECT_FALSE(isValidKeyChord(Keys{command, command}));
    EXPECT_FALSE(isValidKeyChord(Keys{a, b}));
    EXPECT_FALSE(isValidKeyChord(Keys{command, a, shift, b}));
    EXPECT_FALSE(isValidKeyChord(Keys{command, control, option, shift, a, command}));
}

Uuid token(std::uint8_t value) {
    Uuid::Bytes bytes{};
    bytes[15] = value;
    return Uuid(bytes);
}

TEST(HeldDesktopKeys, SharedKeysArePressedOnceAndReleasedLast) {
    HeldDesktopKeys held;
    EXPECT_EQ(held.begin(token(1), Keys{z, command, shift}), (Keys{command, shift, z}));
    EXPECT_EQ(held.begin(token(2), Keys{command, a}), (Keys{a}));
    EXPECT_EQ(held.begin(token(1), Keys{b}), Keys{});  // token already held
    EXPECT_EQ(held.holds().size(), 2U);

    // Reverse chord order, non-modifiers first; command stays down for the second hold.
    EXPECT_EQ(held.end(token(1)), (Keys{z, shift}));
    EXPECT_EQ(held.end(token(1)), Keys{});
    EXPECT_EQ(held.end(token(2)), (Keys{a, command}));
    EXPECT_TRUE(held.empty());
}

TEST(HeldDesktopKeys, ReleaseOrderIsReversedWithNonModifiersFirst) {
    HeldDesktopKeys held;
    EXPECT_EQ(held.begin(token(1), Keys{control, option, x}), (Keys{control, option, x}));
    EXPECT_EQ(held.end(token(1)), (Keys{x, option, control}));
}

TEST(HeldDesktopKeys, AtMostSixteenHolds) {
    HeldDesktopKeys held;
    for (std::uint8_t index = 0; index < HeldDesktopKeys::kMaxHolds; ++index) {
        held.begin(token(index), Keys{shift});
    }
    EXPECT_EQ(held.begin(token(99), Keys{a}), Keys{});
    EXPECT_EQ(held.holds().size(), 16U);
    EXPECT_EQ(held.end(token(99)), Keys{});
    // Shift is released only with the sixteenth hold.
    for (std::uint8_t index = 0; index < 15; ++index) {
        EXPECT_EQ(held.end(token(index)), Keys{});
    }
    EXPECT_EQ(held.begin(token(99), Keys{a}), Keys{a});
    EXPECT_EQ(held.end(token(15)), Keys{shift});
}

TEST(HeldDesktopKeys, ReleaseAllGivesEveryKeyOnceNonModifiersFirst) {
    HeldDesktopKeys held;
    held.begin(token(1), Keys{command, c});
    held.begin(token(2), Keys{shift, command, v});
    EXPECT_EQ(held.releaseAll(), (Keys{c, v, command, shift}));
    EXPECT_TRUE(held.empty());
    EXPECT_EQ(held.releaseAll(), Keys{});
    EXPECT_EQ(held.begin(token(1), Keys{command}), Keys{command});
}

}  // namespace
}  // namespace quillory
