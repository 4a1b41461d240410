#pragma once

#include <functional>
#include <string>

#include "platform/result/result.h"

namespace quillory {

// The relaunch after a permission was granted, and its flag, which tells the quit path that this
// quit is not explicit (the tablet comes back after the restart). Main thread.
class PermissionRelaunch {
  public:
    // Starts the watcher, or says why it could not.
    using Watcher = std::function<Result<void, std::string>()>;

    static PermissionRelaunch& shared();
    PermissionRelaunch();

    bool requested() const { return requested_; }
    // What ends the application; QCoreApplication::quit until the application sets its own.
    void setQuitHook(std::function<void()> hook) { quitHook_ = std::move(hook); }
    void setWatcher(Watcher watcher) { watcher_ = std::move(watcher); }

    // Sets the flag, starts the watcher that reopens this program once it has exited, then
    // quits; a watcher that cannot start is logged and the application quits all the same.
    void relaunchApplication();

  private:
    bool requested_ = false;
    std::function<void()> quitHook_;
    Watcher watcher_;
};

}  // namespace quillory
