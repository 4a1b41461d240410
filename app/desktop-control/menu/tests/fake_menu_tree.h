#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility/accessible_menu_tree.h"

namespace quillory {

// A menu bar described in memory. Counts title reads per element, so tests can tell what a walk
// asked for.
class FakeMenuTree final : public AccessibleMenuTree {
  public:
    struct Node {
        std::optional<std::string> title;
        std::optional<std::string> keyBinding;
        std::vector<Node> children;
    };

    static Node item(std::string title, std::optional<std::string> binding = std::nullopt) {
        return {std::move(title), std::move(binding), {}};
    }
    static Node menu(std::string title, std::vector<Node> children) {
        return {std::move(title), std::nullopt, std::move(children)};
    }

    // No menu bar at all when `menus` is none.
    explicit FakeMenuTree(std::optional<std::vector<Node>> menus) {
        if (menus) {
            menuBar_ = add(Node{std::nullopt, std::nullopt, std::move(*menus)});
        }
    }

    std::optional<Element> menuBar() override { return menuBar_; }
    std::vector<Element> children(Element element) override { return nodes_.at(element).children; }
    std::optional<std::string> title(Element element) override {
        ++titleReads_[element];
        return nodes_.at(element).title;
    }
    std::optional<std::string> keyBinding(Element element) override {
        return nodes_.at(element).keyBinding;
    }

    std::size_t titleReads() const {
        std::size_t total = 0;
        for (const auto& [element, count] : titleReads_) {
            total += count;
        }
        return total;
    }

  private:
    struct Stored {
        std::optional<std::string> title;
        std::optional<std::string> keyBinding;
        std::vector<Element> children;
    };

    Element add(Node node) {
        const Element element = nodes_.size();
        nodes_.push_back({node.title, node.keyBinding, {}});
        for (auto& child : node.children) {
            const Element added = add(std::move(child));
            nodes_[element].children.push_back(added);
        }
        return element;
    }

    std::vector<Stored> nodes_;
    std::optional<Element> menuBar_;
    std::map<Element, std::size_t> titleReads_;
};

}  // namespace quillory
