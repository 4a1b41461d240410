#pragma once

#include <functional>
#include <string>

namespace quillory {

// "Desktop control access": the right to post input into the desktop. Granted when /dev/uinput is
// writable. When the kernel offers no uinput at all, the X server's XTEST counts instead, since
// nothing better can be granted; a uinput that exists but is not writable is not access.
class DesktopControlAccess {
  public:
    struct Probes {
        std::function<bool()> uinputWritable;
        std::function<bool()> uinputAvailable;  // the device node or a kernel module exists
        std::function<bool()> xtestPresent;
    };

    DesktopControlAccess();  // the real system, $DISPLAY
    explicit DesktopControlAccess(Probes probes);

    bool isGranted() const;
    // Why access is or is not granted, in a sentence for logs and the permission views.
    std::string explanation() const;

  private:
    Probes probes_;
};

}  // namespace quillory
