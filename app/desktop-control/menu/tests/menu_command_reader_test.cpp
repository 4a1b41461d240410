#include "app/desktop-control/menu/menu_command_reader.h"

#include <gtest/gtest.h>

#include "app/desktop-control/menu/testing/fake_menu_tree.h"
#include "platform/input/desktop_control_access.h"

namespace quillory {
namespace {

using K = DesktopKey;

std::vector<MenuCommand> read(std::optional<std::string> outline) {
    FakeMenuTree tree(std::move(outline));
    return MenuCommandReader::collectMenuCommands(tree);
}

// Untitled menus and items are skipped, three submenu levels below a top-level menu are read
// and no more, and of equal paths and titles the first wins.
TEST(MenuCommandReaderTest, WalksInMenuOrderWithPathsAndShortcuts) {
    EXPECT_EQ(read(R"(
File
  New|n;<Alt>f:n;<Primary>n
  |
  Undo|Ctrl+Z
  Undo|Ctrl+U
|
  Hidden
~
  Untitled
Edit
  L1
    L2
      L3
        Deepest
        L4
          Too deep
  Undo
File
  Undo
  Copy|Ctrl+C)"),
              (std::vector<MenuCommand>{{"New", {"File"}, {K::control, K::n}},
                                        {"Undo", {"File"}, {K::control, K::z}},
                                        {"Deepest", {"Edit", "L1", "L2", "L3"}, {}},
                                        {"Undo", {"Edit"}, {}},
                                        {"Copy", {"File"}, {K::control, K::c}}}));
    EXPECT_TRUE(read(std::nullopt).empty());
}

TEST(MenuCommandReaderTest, StopsAtExactlySixHundredWithoutReadingFurther) {
    std::string outline;
    for (int index = 0; index < 609; ++index) {
        outline += index == 0 ? "A\n" : index == 599 ? "B\n" : index == 604 ? "C\n" : "";
        outline += "  " + std::to_string(index) + "\n";
    }
    FakeMenuTree tree(outline);
    const auto commands = MenuCommandReader::collectMenuCommands(tree);
    ASSERT_EQ(commands.size(), 600u);
    EXPECT_EQ(commands.back().title, "599");
    EXPECT_EQ(tree.titleReads, 2u + 600u);  // A, B and 600 items; nothing of B's rest or of C
}

// Titles are cut to 128 characters (a character may span several code points); a title still
// longer than 128 bytes, or holding a control character, drops its command. Two titles that
// differ only after the cut are different commands.
TEST(MenuCommandReaderTest, TitlesAreCutOnCharactersAndInvalidOnesDropped) {
    const std::string x128(128, 'x');
    std::string accented, combined;  // 200 bytes; 130 characters of five bytes each
    for (int index = 0; index < 130; ++index) {
        accented += index < 100 ? "é" : "";
        combined += "e\u0301\u0302";
    }
    EXPECT_EQ(read(x128 + "x\n  " + x128 + "x\n  " + x128 + "y\n  " + accented + "\n  " + combined +
                   "\n  Tab\there\n  " + std::string(127, 'x') + "e\u0301tail"),
              (std::vector<MenuCommand>{{x128, {x128}, {}}, {x128, {x128}, {}}}));
}

TEST(MenuCommandReaderTest, NothingIsReadWithoutDesktopControlAccess) {
    const DesktopControlAccess denied(
        {[] { return false; }, [] { return true; }, [] { return true; }});
    EXPECT_TRUE(MenuCommandReader::collectMenuCommands(1, denied).empty());
}

}  // namespace
}  // namespace quillory
