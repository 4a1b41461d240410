#include "app/permissions/permission_relaunch.h"

#include <QCoreApplication>

#include "platform/log/logger.h"
#include "platform/process/relaunch_watcher.h"

namespace quillory {

PermissionRelaunch& PermissionRelaunch::shared() {
    static PermissionRelaunch instance;
    return instance;
}

PermissionRelaunch::PermissionRelaunch()
    : quitHook_([] { QCoreApplication::quit(); }),
      watcher_([] { return startRelaunchWatcher(); }) {}

void PermissionRelaunch::relaunchApplication() {
    requested_ = true;
    if (const auto started = watcher_(); !started) {
        Logger("app.quillory", "permissions")
            .error("Quillory will not reopen by itself: %s", started.error().c_str());
    }
    quitHook_();
}

}  // namespace quillory
