#pragma once

#include <sstream>

#include "platform/accessibility/accessible_menu_tree.h"
#include "protocol/menu_command.h"

namespace quillory {

// A menu bar written as an outline, one element a line: two spaces of indent per level below the
// top-level menus, then "title|key binding"; "~" for no title at all. Counts title reads.
class FakeMenuTree final : public AccessibleMenuTree {
  public:
    // No menu bar at all without an outline.
    explicit FakeMenuTree(std::optional<std::string> outline) : hasBar_(outline.has_value()) {
        std::vector<Element> parents{0};
        std::istringstream lines(outline.value_or(""));
        for (std::string line; std::getline(lines, line);) {
            const auto indent = line.find_first_not_of(' ');
            if (indent == std::string::npos) {
                continue;
            }
            parents.resize(indent / 2 + 1);
            const auto bar = line.find('|', indent);
            auto& node = nodes_.emplace_back();
            node.title = line.substr(indent, bar - indent);
            if (node.title == "~") {
                node.title.reset();
            }
            if (bar != std::string::npos) {
                node.keyBinding = line.substr(bar + 1);
            }
            children_[parents.back()].push_back(nodes_.size() - 1);
            parents.push_back(nodes_.size() - 1);
            children_.emplace_back();
        }
    }

    std::optional<Element> menuBar() override {
        return hasBar_ ? std::optional<Element>(0) : std::nullopt;
    }
    std::vector<Element> children(Element element) override { return children_.at(element); }
    std::optional<std::string> title(Element element) override {
        ++titleReads;
        return nodes_.at(element).title;
    }
    std::optional<std::string> keyBinding(Element element) override {
        return nodes_.at(element).keyBinding;
    }

    std::size_t titleReads = 0;

  private:
    struct Node {
        std::optional<std::string> title, keyBinding;
    };
    bool hasBar_;
    std::vector<Node> nodes_{1};  // the menu bar first
    std::vector<std::vector<Element>> children_{1};
};

// Readable failures.
inline void PrintTo(const MenuCommand& command, std::ostream* out) {
    *out << command.toJSON().dump();
}

}  // namespace quillory
