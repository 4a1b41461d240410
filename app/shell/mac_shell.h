#pragma once

#include <functional>

#include "app/controls/session_shell.h"
#include "app/permissions/desktop_control_grant.h"
#include "app/permissions/permission_probe.h"
#include "app/permissions/permission_relaunch.h"

namespace quillory {

// The application's shell services as the views see them: the login item, the updater, the
// permission probe and grant, the relaunch. Owns the Qt objects it is given that have no owner
// yet. Main thread.
class MacShell final : public SessionShell {
    Q_OBJECT

  public:
    MacShell(LoginItemControl* loginItem, UpdatesControl* updates, PermissionProbe* probe,
             DesktopControlGrant* grant, PermissionRelaunch& relaunch, QObject* parent = nullptr);
    // This computer's: the XDG autostart entry, the application's updater, the system probe,
    // pkexec, the shared relaunch.
    static MacShell* system(QObject* parent = nullptr);

    UpdatesControl* updates() const override { return updates_; }
    LoginItemControl* loginItem() const override { return loginItem_; }
    bool screenCaptureAllowedAtLaunch() const override;
    void relaunchApplication() override;
    void showPermissionGuide(PermissionKind kind) override;

    PermissionProbe* probe() const { return probe_; }
    DesktopControlGrant* grant() const { return grant_; }
    // The permission guide, once there is one; until then a request opens the grant directly.
    void setGuide(std::function<void(PermissionKind)> guide) { guide_ = std::move(guide); }

  private:
    LoginItemControl* loginItem_;
    UpdatesControl* updates_;
    PermissionProbe* probe_;
    DesktopControlGrant* grant_;
    PermissionRelaunch& relaunch_;
    std::function<void(PermissionKind)> guide_;
};

}  // namespace quillory
