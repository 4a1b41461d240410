#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/clock/clock.h"

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

    // An answer is kept this long: the probes scan the file system, and the input path asks for
    // every batch, while a revoked grant must still take effect within this time.
    static constexpr double answerLifetime = 1.0;

    DesktopControlAccess();  // the real system, $DISPLAY
    explicit DesktopControlAccess(
        Probes probes, std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>());

    // Safe from any thread.
    bool isGranted() const;
    // Why access is or is not granted, in a sentence for logs and the permission views.
    std::string explanation() const;

  private:
    bool probe() const;

    Probes probes_;
    std::shared_ptr<const Clock> clock_;
    mutable std::mutex mutex_;
    mutable std::optional<double> answeredAt_;
    mutable bool granted_ = false;
};

}  // namespace quillory
