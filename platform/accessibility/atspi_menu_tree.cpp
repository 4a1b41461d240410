#include "platform/accessibility/atspi_menu_tree.h"

#include <algorithm>
#include <deque>
#include <utility>

namespace quillory {

namespace {

// How far below an application's windows a menu bar is looked for, and how many elements that
// search may read; toolkits put the menu bar within a few levels of the window.
constexpr int menuBarSearchDepth = 6;
constexpr std::size_t menuBarSearchElements = 400;

bool isMenuItem(AtspiRole role) {
    return role == ATSPI_ROLE_MENU_ITEM || role == ATSPI_ROLE_CHECK_MENU_ITEM ||
           role == ATSPI_ROLE_RADIO_MENU_ITEM || role == ATSPI_ROLE_TEAROFF_MENU_ITEM;
}

bool isMenu(AtspiRole role) {
    return role == ATSPI_ROLE_MENU || role == ATSPI_ROLE_POPUP_MENU;
}

// Subtrees that hold no menu bar but may hold many elements.
bool holdsNoMenuBar(AtspiRole role) {
    switch (role) {
        case ATSPI_ROLE_MENU:
        case ATSPI_ROLE_POPUP_MENU:
        case ATSPI_ROLE_MENU_ITEM:
        case ATSPI_ROLE_LIST:
        case ATSPI_ROLE_LIST_BOX:
        case ATSPI_ROLE_TABLE:
        case ATSPI_ROLE_TREE:
        case ATSPI_ROLE_TREE_TABLE:
        case ATSPI_ROLE_TEXT:
        case ATSPI_ROLE_DOCUMENT_FRAME:
        case ATSPI_ROLE_DOCUMENT_WEB:
        case ATSPI_ROLE_CANVAS:
            return true;
        default:
            return false;
    }
}

// Takes a GError and answers whether there was one.
bool failed(GError* error) {
    if (error == nullptr) {
        return false;
    }
    g_error_free(error);
    return true;
}

std::optional<std::string> takeText(gchar* text, GError* error) {
    if (failed(error) || text == nullptr) {
        g_free(text);
        return std::nullopt;
    }
    std::string result(text);
    g_free(text);
    return result;
}

}  // namespace

AtspiMenuTree::AtspiMenuTree(pid_t processID, Clock::time_point deadline,
                             std::chrono::milliseconds callTimeout)
    : processID_(processID), deadline_(deadline), callTimeout_(callTimeout) {}

AtspiMenuTree::~AtspiMenuTree() {
    for (const Node& node : nodes_) {
        g_object_unref(node.accessible);
    }
}

bool AtspiMenuTree::beginCall() {
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
    if (remaining.count() <= 0) {
        return false;
    }
    // No grace for recently started applications: a frozen one must not hold the read.
    atspi_set_timeout(static_cast<gint>(std::min(remaining, callTimeout_).count()), -1);
    return true;
}

AccessibleMenuTree::Element AtspiMenuTree::adopt(AtspiAccessible* accessible) {
    nodes_.push_back({accessible, std::nullopt});
    return nodes_.size() - 1;
}

std::optional<AtspiRole> AtspiMenuTree::role(Element element) {
    Node& node = nodes_.at(element);
    if (!node.role && beginCall()) {
        GError* error = nullptr;
        const AtspiRole role = atspi_accessible_get_role(node.accessible, &error);
        if (!failed(error)) {
            node.role = role;
        }
    }
    return node.role;
}

std::vector<AccessibleMenuTree::Element> AtspiMenuTree::rawChildren(Element element) {
    std::vector<Element> children;
    if (!beginCall()) {
        return children;
    }
    AtspiAccessible* parent = nodes_.at(element).accessible;
    GError* error = nullptr;
    const gint count = atspi_accessible_get_child_count(parent, &error);
    if (failed(error)) {
        return children;
    }
    for (gint index = 0; index < count && beginCall(); ++index) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(parent, index, &error);
        if (failed(error)) {
            error = nullptr;
            continue;
        }
        if (child != nullptr) {
            children.push_back(adopt(child));
        }
    }
    return children;
}

std::optional<AccessibleMenuTree::Element> AtspiMenuTree::application() {
    if (!beginCall()) {
        return std::nullopt;
    }
    // The desktop lists the registered applications; their process ids come from the bus
    // itself, so a frozen application does not hold this search.
    const Element desktop = adopt(atspi_get_desktop(0));
    for (const Element candidate : rawChildren(desktop)) {
        if (!beginCall()) {
            break;
        }
        GError* error = nullptr;
        const guint processID =
            atspi_accessible_get_process_id(nodes_[candidate].accessible, &error);
        if (!failed(error) && static_cast<pid_t>(processID) == processID_) {
            return candidate;
        }
    }
    return std::nullopt;
}

bool AtspiMenuTree::isActive(Element element) {
    if (!beginCall()) {
        return false;
    }
    AtspiStateSet* states = atspi_accessible_get_state_set(nodes_.at(element).accessible);
    if (states == nullptr) {
        return false;
    }
    const bool active = atspi_state_set_contains(states, ATSPI_STATE_ACTIVE);
    g_object_unref(states);
    return active;
}

std::optional<AccessibleMenuTree::Element> AtspiMenuTree::menuBar() {
    const auto app = application();
    if (!app) {
        return std::nullopt;
    }
    // The active window's menu bar first, then the other windows' in order.
    std::vector<Element> windows = rawChildren(*app);
    std::stable_partition(windows.begin(), windows.end(),
                          [&](Element window) { return isActive(window); });
    std::deque<std::pair<Element, int>> queue;
    for (const Element window : windows) {
        queue.emplace_back(window, 0);
    }
    std::size_t visited = 0;
    while (!queue.empty() && visited < menuBarSearchElements) {
        const auto [element, depth] = queue.front();
        queue.pop_front();
        ++visited;
        const auto found = role(element);
        if (!found) {
            continue;
        }
        if (*found == ATSPI_ROLE_MENU_BAR) {
            return element;
        }
        if (depth < menuBarSearchDepth && !holdsNoMenuBar(*found)) {
            for (const Element child : rawChildren(element)) {
                queue.emplace_back(child, depth + 1);
            }
        }
    }
    return std::nullopt;
}

std::vector<AccessibleMenuTree::Element> AtspiMenuTree::children(Element element) {
    const auto parentRole = role(element);
    std::vector<Element> children = rawChildren(element);
    if (!parentRole || !isMenuItem(*parentRole)) {
        return children;
    }
    // An item that opens a submenu holds the menu; its items are the menu's children.
    std::vector<Element> items;
    for (const Element child : children) {
        const auto childRole = role(child);
        if (childRole && isMenu(*childRole)) {
            const std::vector<Element> menuItems = rawChildren(child);
            items.insert(items.end(), menuItems.begin(), menuItems.end());
        } else {
            items.push_back(child);
        }
    }
    return items;
}

std::optional<std::string> AtspiMenuTree::title(Element element) {
    if (!beginCall()) {
        return std::nullopt;
    }
    GError* error = nullptr;
    gchar* name = atspi_accessible_get_name(nodes_.at(element).accessible, &error);
    return takeText(name, error);
}

std::optional<std::string> AtspiMenuTree::keyBinding(Element element) {
    if (!beginCall()) {
        return std::nullopt;
    }
    AtspiAction* action = atspi_accessible_get_action_iface(nodes_.at(element).accessible);
    if (action == nullptr || !beginCall()) {
        if (action != nullptr) {
            g_object_unref(action);
        }
        return std::nullopt;
    }
    GError* error = nullptr;
    gchar* binding = atspi_action_get_key_binding(action, 0, &error);
    g_object_unref(action);
    auto text = takeText(binding, error);
    if (text && text->empty()) {
        return std::nullopt;
    }
    return text;
}

}  // namespace quillory
