#include "app/controls/session_shell.h"

#include "app/controls/published.h"

namespace quillory {

void UpdatesControl::publishAvailable(bool value) {
    publishChange(this, available_, value, &UpdatesControl::availableChanged);
}

void UpdatesControl::publishCanCheck(bool value) {
    publishChange(this, canCheck_, value, &UpdatesControl::canCheckChanged);
}

void UpdatesControl::publishPendingVersion(const QString& value) {
    publishChange(this, pendingVersion_, value, &UpdatesControl::pendingVersionChanged);
}

void UpdatesControl::publishLastChecked(const QDateTime& value) {
    publishChange(this, lastChecked_, value, &UpdatesControl::lastCheckedChanged);
}

void UpdatesControl::publishAutomaticChecks(bool value) {
    publishChange(this, automaticChecks_, value, &UpdatesControl::automaticChecksChanged);
}

void UpdatesControl::publishAutomaticInstalls(bool value) {
    publishChange(this, automaticInstalls_, value, &UpdatesControl::automaticInstallsChanged);
}

void LoginItemControl::publishEnabled(bool value) {
    publishChange(this, enabled_, value, &LoginItemControl::enabledChanged);
}

void LoginItemControl::publishNeedsApproval(bool value) {
    publishChange(this, needsApproval_, value, &LoginItemControl::needsApprovalChanged);
}

void LoginItemControl::publishError(const QString& value) {
    publishChange(this, error_, value, &LoginItemControl::errorChanged);
}

InertShell::InertShell(QObject* parent)
    : SessionShell(parent),
      updates_(new InertUpdates(this)),
      loginItem_(new InertLoginItem(this)) {}

}  // namespace quillory
