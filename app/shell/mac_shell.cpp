#include "app/shell/mac_shell.h"

#include "app/shell/mac_login_item.h"
#include "app/updates/mac_updates.h"

namespace quillory {

MacShell::MacShell(LoginItemControl* loginItem, UpdatesControl* updates, PermissionProbe* probe,
                   DesktopControlGrant* grant, PermissionRelaunch& relaunch, QObject* parent)
    : SessionShell(parent),
      loginItem_(loginItem),
      updates_(updates),
      probe_(probe),
      grant_(grant),
      relaunch_(relaunch) {
    for (QObject* part : {static_cast<QObject*>(loginItem_), static_cast<QObject*>(updates_),
                          static_cast<QObject*>(probe_), static_cast<QObject*>(grant_)}) {
        // The application's updater already has its owner.
        if (!part->parent()) {
            part->setParent(this);
        }
    }
}

MacShell* MacShell::system(QObject* parent) {
    auto* probe = new SystemPermissionProbe;
    auto* grant = new DesktopControlGrant(DesktopControlGrant::Environment::system(
        [probe] { return probe->desktopControlGranted(); }));
    return new MacShell(new MacLoginItem(MacLoginItem::Locations::system()), &MacUpdates::shared(),
                        probe, grant, PermissionRelaunch::shared(), parent);
}

bool MacShell::screenCaptureAllowedAtLaunch() const {
    return probe_->screenCaptureAllowedAtLaunch();
}

void MacShell::relaunchApplication() {
    relaunch_.relaunchApplication();
}

void MacShell::showPermissionGuide(PermissionKind kind) {
    if (guide_) {
        return guide_(kind);
    }
    const bool granted = kind == PermissionKind::accessibility ? probe_->desktopControlGranted()
                                                               : probe_->screenCaptureGranted();
    if (!granted) {
        openPrivacySettings(
            QString::fromUtf8(kind == PermissionKind::accessibility ? "Privacy_Accessibility"
                                                                    : "Privacy_ScreenCapture"),
            *grant_);
    }
}

}  // namespace quillory
