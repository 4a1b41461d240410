#include "app/desktop-control/menu/menu_shortcuts.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quillory {
namespace {

// "control shift s": the keys by their raw values.
std::vector<DesktopKey> keys(const std::string& names) {
    std::istringstream words(names);
    std::vector<DesktopKey> result;
    for (std::string word; words >> word;) {
        result.push_back(*fromRawValue<DesktopKey>(word));
    }
    return result;
}

// Binding text → chord; GTK's accelerator is the third part, Qt's the whole text. Modifiers come
// in the order control, option, shift, command whatever order the text gives them. Empty: a
// mnemonic only, a key or modifier the tablet lacks, a sequence rather than a chord, no text.
TEST(MenuShortcutsTest, AcceleratorsOfBothToolkits) {
    // clang-format off
    const std::pair<const char*, const char*> table[] = {
        {"n;<Alt>f:n;<Primary>n", "control n"}, {";;<Shift><Primary>S", "control shift s"},
        {";;<Control><Alt>e", "control option e"}, {";;<Super><Primary>comma", "control command ,"},
        {";;<Meta>x", "option x"}, {";;<Release><Primary>bracketleft", "control leftBracket"},
        {";;F7", "f7"}, {";;Delete", "forwardDelete"}, {";;Page_Down", "pageDown"},
        {";;KP_Enter", "enter"}, {";;<Primary>space", "control space"}, {"u;<Alt>e:u;", ""},
        {";;<Primary>plus", ""}, {";;<Hyper>a", ""}, {";;<Mod4>a", ""}, {";;<Primary", ""},
        {";;<Primary>", ""}, {"Ctrl+S", "control s"}, {"Del", "forwardDelete"},
        {"Shift+Ctrl+Alt+Meta+F5", "control option shift command f5"}, {"Esc", "escape"},
        {"Ctrl+Backspace", "control backspace"}, {"PgUp", "pageUp"}, {"Num+Enter", "enter"},
        {"Ctrl+Return", "control enter"}, {"Ctrl+;", "control ;"}, {"Ctrl+`", "control `"},
        {"Ctrl+[", "control leftBracket"}, {"Ctrl++", ""}, {"Ctrl+K, Ctrl+C", ""},
        {"Ctrl+Ins", ""}, {"Hyper+A", ""}, {"", ""}, {"   ", ""}};
    // clang-format on
    for (const auto& [binding, chord] : table) {
        EXPECT_EQ(chordForKeyBinding(binding), keys(chord)) << binding;
    }
}

TEST(MenuShortcutsTest, CharactersNameOnlyOneCharacterKeys) {
    // clang-format off
    const std::pair<const char*, const char*> table[] = {{"S", "s"}, {"[", "leftBracket"},
        {"]", "rightBracket"}, {" ", "space"}, {"\\", "\\"}, {"tab", ""}, {"+", ""}, {"", ""},
        {"\uF702", ""}};  // a private-use arrow glyph
    // clang-format on
    for (const auto& [character, key] : table) {
        const auto found = desktopKeyForCharacter(character);
        EXPECT_EQ(found ? std::vector{*found} : std::vector<DesktopKey>{}, keys(key)) << character;
    }
}

}  // namespace
}  // namespace quillory
