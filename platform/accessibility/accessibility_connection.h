#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>

#include "platform/accessibility/accessible_menu_tree.h"

namespace quillory {

// The connection to the accessibility bus (AT-SPI through libatspi). libatspi keeps process-wide
// state and is not thread-safe, so every call runs on one dedicated thread that iterates its own
// GLib main context; callers hand it work and wait for the answer.
//
// When the bus cannot be reached at start-up the connection stays unavailable and makes no
// further call.
class AccessibilityConnection {
  public:
    struct Limits {
        std::chrono::milliseconds callTimeout{500};    // one call to a slow application
        std::chrono::milliseconds readDeadline{5000};  // one whole read of an application
    };

    // The process's one connection (libatspi is process-wide), started on first use.
    static std::shared_ptr<AccessibilityConnection> shared();

    ~AccessibilityConnection();
    AccessibilityConnection(const AccessibilityConnection&) = delete;
    AccessibilityConnection& operator=(const AccessibilityConnection&) = delete;

    bool isAvailable() const;

    // Runs `read` on the accessibility thread over the menus of the application of `processID`,
    // and returns once it has returned. Every read of the tree answers nothing once the read
    // deadline has passed, so `read` ends soon after. Returns false without calling `read` when
    // the bus is unavailable. Must not be called from the accessibility thread.
    bool readMenus(pid_t processID, const std::function<void(AccessibleMenuTree&)>& read);

  private:
    explicit AccessibilityConnection(Limits limits);

    struct Thread;
    std::unique_ptr<Thread> thread_;
};

}  // namespace quillory
