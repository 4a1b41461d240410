#include "app/permissions/input_access_follower.h"

#include "app/desktop-control/desktop_input_controller.h"
#include "app/permissions/permission_probe.h"

namespace quillory {

InputAccessFollower::InputAccessFollower(DesktopInputController& controller, PermissionProbe& probe,
                                         std::function<bool()> uinputWritable)
    : controller_(controller), probe_(probe), uinputWritable_(std::move(uinputWritable)) {}

void InputAccessFollower::accessObserved(bool granted) {
    const bool turnedGranted = granted && granted_ != true;
    granted_ = granted;
    if (!turnedGranted || controller_.backend().kind == InputBackendKind::uinput ||
        !uinputWritable_()) {
        return;
    }
    if (controller_.reopenInputBackend().kind != InputBackendKind::uinput) {
        probe_.setRelaunchNeeded(true);
    }
}

}  // namespace quillory
