#pragma once

#include <atspi/atspi.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <vector>

#include "platform/accessibility/accessible_menu_tree.h"

namespace quillory {

// The menus of one application read through libatspi. Made and used on the accessibility thread
// only. Before each call the remaining time is checked: past the deadline every read answers
// nothing, and no call may wait longer than the per-call timeout or the time left.
class AtspiMenuTree final : public AccessibleMenuTree {
  public:
    using Clock = std::chrono::steady_clock;

    AtspiMenuTree(pid_t processID, Clock::time_point deadline,
                  std::chrono::milliseconds callTimeout);
    ~AtspiMenuTree() override;
    AtspiMenuTree(const AtspiMenuTree&) = delete;
    AtspiMenuTree& operator=(const AtspiMenuTree&) = delete;

    std::optional<Element> menuBar() override;
    std::vector<Element> children(Element element) override;
    std::optional<std::string> title(Element element) override;
    std::optional<std::string> keyBinding(Element element) override;

  private:
    struct Node {
        AtspiAccessible* accessible;
        std::optional<AtspiRole> role;
    };

    bool beginCall();
    Element adopt(AtspiAccessible* accessible);
    std::optional<AtspiRole> role(Element element);
    std::vector<Element> rawChildren(Element element);
    std::optional<Element> application();
    bool isActive(Element element);

    pid_t processID_;
    Clock::time_point deadline_;
    std::chrono::milliseconds callTimeout_;
    std::vector<Node> nodes_;
};

}  // namespace quillory
