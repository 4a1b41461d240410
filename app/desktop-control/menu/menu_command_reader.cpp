#include "app/desktop-control/menu/menu_command_reader.h"

#include "app/desktop-control/menu/menu_shortcuts.h"
#include "platform/accessibility/accessibility_connection.h"
#include "platform/input/desktop_control_access.h"
#include "platform/text/text_units.h"

namespace quillory::MenuCommandReader {

namespace {

constexpr std::string_view separator = "\x1F";

std::string cut(std::string_view title) {
    return std::string(leadingCharacters(title, maximumTitleCharacters));
}

void collectItems(AccessibleMenuTree& tree, const std::vector<AccessibleMenuTree::Element>& items,
                  const std::vector<std::string>& path, int depth, Collection& collection);

}  // namespace

std::vector<MenuCommand> collectMenuCommands(std::int32_t processID) {
    return collectMenuCommands(processID, DesktopControlAccess());
}

std::vector<MenuCommand> collectMenuCommands(std::int32_t processID,
                                             const DesktopControlAccess& access) {
    if (!access.isGranted()) {
        return {};
    }
    std::vector<MenuCommand> commands;
    AccessibilityConnection::shared()->readMenus(
        processID, [&](AccessibleMenuTree& tree) { commands = collectMenuCommands(tree); });
    return commands;
}

std::vector<MenuCommand> collectMenuCommands(AccessibleMenuTree& tree) {
    Collection collection;
    const auto menuBar = tree.menuBar();
    if (!menuBar) {
        return {};
    }
    // Every top-level menu counts: no application menu leads the bar here.
    for (const auto menu : tree.children(*menuBar)) {
        const auto title = tree.title(menu);
        if (!title || title->empty()) {
            continue;
        }
        collectMenuItems(tree, menu, {*title}, 0, collection);
        if (collection.commands.size() >= maximumCommands) {
            break;
        }
    }
    return std::move(collection.commands);
}

void collectMenuItems(AccessibleMenuTree& tree, AccessibleMenuTree::Element menu,
                      const std::vector<std::string>& path, int depth, Collection& collection) {
    if (depth <= maximumDepth) {
        collectItems(tree, tree.children(menu), path, depth, collection);
    }
}

namespace {

void collectItems(AccessibleMenuTree& tree, const std::vector<AccessibleMenuTree::Element>& items,
                  const std::vector<std::string>& path, int depth, Collection& collection) {
    for (const auto item : items) {
        if (collection.commands.size() >= maximumCommands) {
            return;
        }
        const auto title = tree.title(item);
        if (!title || title->empty()) {
            continue;  // separators and untitled items
        }
        if (const auto submenu = tree.children(item); !submenu.empty()) {
            if (depth < maximumDepth) {
                std::vector<std::string> submenuPath = path;
                submenuPath.push_back(*title);
                collectItems(tree, submenu, submenuPath, depth + 1, collection);
            }
            continue;
        }
        MenuCommand command{cut(*title), {}, menuItemShortcut(tree, item)};
        std::string key;
        for (const auto& step : path) {
            command.path.push_back(cut(step));
            key += step;
            key += separator;
        }
        key += *title;
        if (!command.isValid() || !collection.seen.insert(std::move(key)).second) {
            continue;
        }
        collection.commands.push_back(std::move(command));
    }
}

}  // namespace

std::vector<DesktopKey> menuItemShortcut(AccessibleMenuTree& tree,
                                         AccessibleMenuTree::Element item) {
    const auto binding = tree.keyBinding(item);
    return binding ? chordForKeyBinding(*binding) : std::vector<DesktopKey>{};
}

}  // namespace quillory::MenuCommandReader
