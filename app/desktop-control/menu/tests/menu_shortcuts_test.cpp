#include "app/desktop-control/menu/menu_shortcuts.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

using K = DesktopKey;
using Keys = std::vector<K>;

struct Row {
    const char* binding;
    Keys keys;
};

void expectTable(const std::vector<Row>& rows) {
    for (const auto& [binding, keys] : rows) {
        EXPECT_EQ(chordForKeyBinding(binding), keys) << binding;
    }
}

TEST(MenuShortcutsTest, GtkAcceleratorsAreTheThirdPartOfTheBinding) {
    expectTable({
        {"n;<Alt>f:n;<Primary>n", {K::control, K::n}},
        {";;<Primary><Shift>s", {K::control, K::shift, K::s}},
        {"a;<Alt>f:a;<Shift><Primary>S", {K::control, K::shift, K::s}},
        {";;<Control><Alt>e", {K::control, K::option, K::e}},
        {";;<Super><Primary>comma", {K::control, K::command, K::comma}},
        {";;<Meta>x", {K::option, K::x}},
        {";;<Release><Primary>bracketleft", {K::control, K::leftBracket}},
        {";;F7", {K::f7}},
        {";;Delete", {K::forwardDelete}},
        {";;Page_Down", {K::pageDown}},
        {";;KP_Enter", {K::enter}},
        {";;<Primary>Return", {K::control, K::enter}},
        {";;<Primary>space", {K::control, K::space}},
        {"u;<Alt>e:u;", {}},      // a mnemonic only
        {";;<Primary>plus", {}},  // no such key on the tablet
        {";;<Hyper>a", {}},       // a modifier the tablet cannot press
        {";;<Mod4>a", {}},
        {";;<Primary", {}},
        {";;<Primary>", {}},
    });
}

TEST(MenuShortcutsTest, QtShortcutsAreTheWholeBinding) {
    expectTable({
        {"Ctrl+S", {K::control, K::s}},
        {"Ctrl+Shift+S", {K::control, K::shift, K::s}},
        {"Shift+Ctrl+Alt+Meta+F5", {K::control, K::option, K::shift, K::command, K::f5}},
        {"Del", {K::forwardDelete}},
        {"Ctrl+Backspace", {K::control, K::backspace}},
        {"Esc", {K::escape}},
        {"PgUp", {K::pageUp}},
        {"Ctrl+Return", {K::control, K::enter}},
        {"Num+Enter", {K::enter}},
        {"Ctrl+;", {K::control, K::semicolon}},
        {"Ctrl+[", {K::control, K::leftBracket}},
        {"Ctrl+=", {K::control, K::equals}},
        {"Ctrl+`", {K::control, K::grave}},
        {"Ctrl+Space", {K::control, K::space}},
        {"F12", {K::f12}},
        {"Ctrl++", {}},          // "+" is no key of its own
        {"Ctrl+K, Ctrl+C", {}},  // a sequence, not a chord
        {"Ctrl+Ins", {}},
        {"Hyper+A", {}},
        {"", {}},
        {"   ", {}},
    });
}

TEST(MenuShortcutsTest, CharactersNameOnlyOneCharacterKeys) {
    EXPECT_EQ(desktopKeyForCharacter("S"), K::s);
    EXPECT_EQ(desktopKeyForCharacter("["), K::leftBracket);
    EXPECT_EQ(desktopKeyForCharacter("]"), K::rightBracket);
    EXPECT_EQ(desktopKeyForCharacter(" "), K::space);
    EXPECT_EQ(desktopKeyForCharacter("7"), K::digit7);
    EXPECT_EQ(desktopKeyForCharacter("\\"), K::backslash);
    EXPECT_FALSE(desktopKeyForCharacter("tab"));
    EXPECT_FALSE(desktopKeyForCharacter("\uF702"));  // a private-use arrow glyph
    EXPECT_FALSE(desktopKeyForCharacter("+"));
    EXPECT_FALSE(desktopKeyForCharacter(""));
}

}  // namespace
}  // namespace quillory
