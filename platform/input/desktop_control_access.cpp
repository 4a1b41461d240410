#include "platform/input/desktop_control_access.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/input/uinput_input_sink.h"
#include "platform/input/xtest_input_sink.h"

namespace quillory {

namespace {

bool kernelHasUinput() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (fs::exists(UinputInputSink::path, ignored) || fs::exists("/sys/module/uinput", ignored) ||
        fs::exists("/sys/class/misc/uinput", ignored)) {
        return true;
    }
    utsname system{};
    if (uname(&system) != 0) {
        return false;
    }
    const fs::path modules = fs::path("/lib/modules") / system.release;
    if (fs::exists(modules / "kernel/drivers/input/misc", ignored)) {
        for (const auto& entry :
             fs::directory_iterator(modules / "kernel/drivers/input/misc", ignored)) {
            if (entry.path().filename().string().starts_with("uinput.ko")) {
                return true;
            }
        }
    }
    std::ifstream builtin(modules / "modules.builtin");
    for (std::string line; std::getline(builtin, line);) {
        if (line.ends_with("/uinput.ko")) {
            return true;
        }
    }
    return false;
}

}  // namespace

DesktopControlAccess::DesktopControlAccess()
    : DesktopControlAccess(Probes{
          .uinputWritable = [] { return ::access(UinputInputSink::path, W_OK) == 0; },
          .uinputAvailable = [] { return kernelHasUinput(); },
          // The server's extensions do not change while it runs.
          .xtestPresent =
              [] {
                  static const bool present = hasXTest(nullptr);
                  return present;
              },
      }) {}

DesktopControlAccess::DesktopControlAccess(Probes probes, std::shared_ptr<const Clock> clock)
    : probes_(std::move(probes)), clock_(std::move(clock)) {}

bool DesktopControlAccess::isGranted() const {
    const double now = clock_->nowSeconds();
    std::lock_guard lock(mutex_);
    if (!answeredAt_ || now - *answeredAt_ >= answerLifetime || now < *answeredAt_) {
        granted_ = probe();
        answeredAt_ = now;
    }
    return granted_;
}

bool DesktopControlAccess::probe() const {
    if (probes_.uinputWritable()) {
        return true;
    }
    return !probes_.uinputAvailable() && probes_.xtestPresent();
}

std::string DesktopControlAccess::explanation() const {
    if (probes_.uinputWritable()) {
        return "/dev/uinput is writable";
    }
    if (probes_.uinputAvailable()) {
        return "/dev/uinput exists but this user may not write to it";
    }
    if (probes_.xtestPresent()) {
        return "this kernel offers no uinput; the X server's XTEST stands in";
    }
    return "this kernel offers no uinput and no X server with XTEST answers";
}

}  // namespace quillory
