#pragma once

#include <functional>
#include <optional>

namespace quillory {

class DesktopInputController;
class PermissionProbe;

// Desktop input picks its backend at start, so a program granted access while running would stay
// on XTest, without pressure. When access turns granted, the backend is not uinput and
// /dev/uinput is writable, this reopens the backend; when that still gives no uinput, only a
// relaunch helps and the probe says so. Main thread.
class InputAccessFollower {
  public:
    InputAccessFollower(DesktopInputController& controller, PermissionProbe& probe,
                        std::function<bool()> uinputWritable);

    // The session's access answer, at each evaluation of its input state; acts once per change.
    void accessObserved(bool granted);

  private:
    DesktopInputController& controller_;
    PermissionProbe& probe_;
    std::function<bool()> uinputWritable_;
    std::optional<bool> granted_;
};

}  // namespace quillory
