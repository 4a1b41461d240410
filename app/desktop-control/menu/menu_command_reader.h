#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/accessibility/accessible_menu_tree.h"
#include "protocol/menu_command.h"

namespace quillory {

class DesktopControlAccess;

// Reads the menu commands of an application for the tablet: every titled item of every menu of
// its menu bar, with the titles leading to it and its shortcut, in menu order, depth first.
// Never fails: every problem gives a shorter or empty list.
namespace MenuCommandReader {

constexpr std::size_t maximumCommands = 600;
// Submenus nested deeper than this below a top-level menu are not read, so a path holds 1 to 4
// titles.
constexpr int maximumDepth = 3;
constexpr std::size_t maximumTitleCharacters = 128;

// The working state of one read.
struct Collection {
    std::vector<MenuCommand> commands;
    std::unordered_set<std::string> seen;  // path and title, uncut, joined by U+001F
};

// The application of `processID`, through the process's accessibility connection; empty without
// desktop control access. Blocks up to the read deadline: never call it on the UI thread.
std::vector<MenuCommand> collectMenuCommands(std::int32_t processID);
std::vector<MenuCommand> collectMenuCommands(std::int32_t processID,
                                             const DesktopControlAccess& access);

// The walk itself, over any tree.
std::vector<MenuCommand> collectMenuCommands(AccessibleMenuTree& tree);
void collectMenuItems(AccessibleMenuTree& tree, AccessibleMenuTree::Element menu,
                      const std::vector<std::string>& path, int depth, Collection& collection);
std::vector<DesktopKey> menuItemShortcut(AccessibleMenuTree& tree,
                                         AccessibleMenuTree::Element item);

}  // namespace MenuCommandReader
}  // namespace quillory
