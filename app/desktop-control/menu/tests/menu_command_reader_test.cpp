#include "app/desktop-control/menu/menu_command_reader.h"

#include <gtest/gtest.h>

#include "app/desktop-control/menu/tests/fake_menu_tree.h"
#include "app/desktop-control/menu/tests/menu_command_printer.h"
#include "platform/input/desktop_control_access.h"

namespace quillory {
namespace {

using K = DesktopKey;
using Node = FakeMenuTree::Node;
using Paths = std::vector<std::vector<std::string>>;

std::vector<MenuCommand> read(std::optional<std::vector<Node>> menus) {
    FakeMenuTree tree(std::move(menus));
    return MenuCommandReader::collectMenuCommands(tree);
}

std::vector<Node> numbered(const std::string& prefix, int count) {
    std::vector<Node> items;
    for (int index = 0; index < count; ++index) {
        items.push_back(FakeMenuTree::item(prefix + std::to_string(index)));
    }
    return items;
}

TEST(MenuCommandReaderTest, ListsEveryTitledMenuInOrderWithPathsAndShortcuts) {
    const auto commands = read(std::vector<Node>{
        FakeMenuTree::menu("File", {FakeMenuTree::item("New", "n;<Alt>f:n;<Primary>n"),
                                    FakeMenuTree::item(""), FakeMenuTree::item("Close")}),
        FakeMenuTree::menu("", {FakeMenuTree::item("Hidden")}),
        Node{std::nullopt, std::nullopt, {FakeMenuTree::item("Untitled")}},
        FakeMenuTree::menu("Edit", {FakeMenuTree::menu("Find", {FakeMenuTree::item("Next", "F3")}),
                                    FakeMenuTree::item("Copy", "Ctrl+C")}),
    });
    EXPECT_EQ(commands, (std::vector<MenuCommand>{
                            {"New", {"File"}, {K::control, K::n}},
                            {"Close", {"File"}, {}},
                            {"Next", {"Edit", "Find"}, {K::f3}},
                            {"Copy", {"Edit"}, {K::control, K::c}},
                        }));
    EXPECT_TRUE(read(std::nullopt).empty());
    EXPECT_TRUE(read(std::vector<Node>{}).empty());
}

TEST(MenuCommandReaderTest, ReadsThreeSubmenuLevelsBelowATopLevelMenu) {
    const auto level4 = FakeMenuTree::menu("L4", {FakeMenuTree::item("Too deep")});
    const auto level3 = FakeMenuTree::menu("L3", {FakeMenuTree::item("Deepest"), level4});
    const auto level2 = FakeMenuTree::menu("L2", {level3});
    const auto level1 = FakeMenuTree::menu("L1", {level2});
    const auto commands = read(std::vector<Node>{FakeMenuTree::menu("Top", {level1})});
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].path, (std::vector<std::string>{"Top", "L1", "L2", "L3"}));
    EXPECT_EQ(commands[0].title, "Deepest");
}

TEST(MenuCommandReaderTest, FirstOfTwoEqualPathsAndTitlesWins) {
    const auto commands = read(std::vector<Node>{
        FakeMenuTree::menu(
            "Edit", {FakeMenuTree::item("Undo", "Ctrl+Z"), FakeMenuTree::item("Undo", "Ctrl+U")}),
        FakeMenuTree::menu("History", {FakeMenuTree::item("Undo")}),
        FakeMenuTree::menu("Edit", {FakeMenuTree::item("Undo"), FakeMenuTree::item("Redo")}),
    });
    EXPECT_EQ(commands, (std::vector<MenuCommand>{
                            {"Undo", {"Edit"}, {K::control, K::z}},
                            {"Undo", {"History"}, {}},
                            {"Redo", {"Edit"}, {}},
                        }));
}

TEST(MenuCommandReaderTest, StopsAtExactlySixHundredWithoutReadingFurther) {
    FakeMenuTree tree(std::vector<Node>{
        FakeMenuTree::menu("A", numbered("a", 599)),
        FakeMenuTree::menu("B", numbered("b", 5)),
        FakeMenuTree::menu("C", numbered("c", 5)),
    });
    const auto commands = MenuCommandReader::collectMenuCommands(tree);
    ASSERT_EQ(commands.size(), 600u);
    EXPECT_EQ(commands.back().title, "b0");
    // Top-level titles A and B, 599 + 1 item titles; nothing of B's rest or of C.
    EXPECT_EQ(tree.titleReads(), 2u + 600u);
}

TEST(MenuCommandReaderTest, TitlesAreCutOnCharactersAndInvalidCommandsDropped) {
    const std::string long_title(129, 'x');
    std::string accented;  // 100 characters of two bytes each
    for (int index = 0; index < 100; ++index) {
        accented += "é";
    }
    std::string combined;  // 128 characters of three code points and five bytes each
    for (int index = 0; index < 130; ++index) {
        combined += "e\u0301\u0302";
    }
    const auto commands = read(std::vector<Node>{
        FakeMenuTree::menu(long_title,
                           {FakeMenuTree::item(long_title), FakeMenuTree::item(long_title + "y"),
                            FakeMenuTree::item(accented), FakeMenuTree::item(combined),
                            FakeMenuTree::item("Tab\there")}),
    });
    // Both long titles cut to the same 128 characters, yet their uncut keys differ.
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].title, std::string(128, 'x'));
    EXPECT_EQ(commands[0].path, std::vector<std::string>{std::string(128, 'x')});
    EXPECT_EQ(commands[1].title, std::string(128, 'x'));
}

TEST(MenuCommandReaderTest, CharacterCutNeverSplitsACombinedCharacter) {
    std::string title(127, 'x');
    title += "e\u0301";  // the 128th character, three bytes
    title += "tail";
    // Cut after the combined character it is 130 bytes and dropped; a cut by code points would
    // have left a valid "x…xe" of 128 bytes.
    EXPECT_TRUE(
        read(std::vector<Node>{FakeMenuTree::menu("M", {FakeMenuTree::item(title)})}).empty());
}

TEST(MenuCommandReaderTest, NothingIsReadWithoutDesktopControlAccess) {
    const DesktopControlAccess denied({.uinputWritable = [] { return false; },
                                       .uinputAvailable = [] { return true; },
                                       .xtestPresent = [] { return true; }});
    EXPECT_TRUE(MenuCommandReader::collectMenuCommands(1, denied).empty());
}

}  // namespace
}  // namespace quillory
