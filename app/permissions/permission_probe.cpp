#include "app/permissions/permission_probe.h"

#include "app/controls/published.h"
#include "platform/input/desktop_control_access.h"

namespace quillory {

QString PermissionProbe::inputBackendName() const {
    return QString::fromUtf8(displayName(inputBackend().kind));
}

bool PermissionProbe::screenCaptureAllowedAtLaunch() const {
    if (!screenCaptureAtLaunch_) {
        screenCaptureAtLaunch_ = screenCaptureGranted();
    }
    return *screenCaptureAtLaunch_;
}

void PermissionProbe::setRelaunchNeeded(bool needed) {
    publishChange(this, relaunchNeeded_, needed, &PermissionProbe::relaunchNeededChanged);
}

SystemPermissionProbe::SystemPermissionProbe(QObject* parent)
    : PermissionProbe(parent), access_(std::make_unique<DesktopControlAccess>()) {}

SystemPermissionProbe::~SystemPermissionProbe() = default;

bool SystemPermissionProbe::desktopControlGranted() const {
    return access_->isGranted();
}

QString SystemPermissionProbe::desktopControlExplanation() const {
    return QString::fromStdString(access_->explanation());
}

}  // namespace quillory
