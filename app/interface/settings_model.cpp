#include "app/interface/settings_model.h"

#include <QGuiApplication>

namespace quillory {

SettingsModel::SettingsModel(QObject* parent)
    : SettingsModel([] { return QDateTime::currentDateTimeUtc(); }, {}, parent) {}

SettingsModel::SettingsModel(Clock clock, PermissionRowsModel::Probes probes, QObject* parent)
    : QObject(parent),
      clock_(std::move(clock)),
      permissions_(probes.accessibility ? new PermissionRowsModel(std::move(probes), this)
                                        : new PermissionRowsModel(this)) {
    permissions_->setShowGranted(true);
    connect(permissions_, &PermissionRowsModel::activeChanged, this, &SettingsModel::activeChanged);
    connect(permissions_, &PermissionRowsModel::rowsChanged, this,
            &SettingsModel::permissionsChanged);
    connect(permissions_, &PermissionRowsModel::accessibilityChanged, this,
            &SettingsModel::permissionsChanged);
    connect(permissions_, &PermissionRowsModel::screenRecordingChanged, this,
            &SettingsModel::permissionsChanged);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state == Qt::ApplicationActive) {
                        refreshOnActivation();
                    }
                });
    }
}

void SettingsModel::setSession(SessionFacade* session) {
    if (session_ == session) {
        return;
    }
    for (const QMetaObject::Connection& c : connections_) {
        disconnect(c);
    }
    connections_.clear();
    session_ = session;
    permissions_->setSession(session);
    if (UpdatesControl* u = updates()) {
        for (auto signal :
             {&UpdatesControl::availableChanged, &UpdatesControl::canCheckChanged,
              &UpdatesControl::pendingVersionChanged, &UpdatesControl::lastCheckedChanged}) {
            connections_.append(connect(u, signal, this, &SettingsModel::updatesChanged));
        }
    }
    emit sessionChanged();
    emit updatesChanged();
    emit permissionsChanged();
}

UpdatesControl* SettingsModel::updates() const {
    return session_ && session_->shell() ? session_->shell()->updates() : nullptr;
}

QString SettingsModel::version() const {
    const UpdatesControl* u = updates();
    return u ? u->appVersionString() : QStringLiteral("?");
}

QUrl SettingsModel::supportUrl() {
    return QUrl(QStringLiteral(QUILLORY_SUPPORT_URL));
}

QUrl SettingsModel::privacyUrl() {
    return QUrl(QStringLiteral(QUILLORY_PRIVACY_URL));
}

QString SettingsModel::websiteDomain() {
    const QString domain = QStringLiteral(QUILLORY_WEBSITE_DOMAIN).trimmed();
    if (!domain.isEmpty()) {
        return domain;
    }
    const QString host = supportUrl().host();
    return host.isEmpty() ? QStringLiteral("quillory.app") : host;
}

QString SettingsModel::updatePillText() const {
    const UpdatesControl* u = updates();
    if (u && !u->pendingVersion().isEmpty()) {
        return tr("Install %1").arg(u->pendingVersion());
    }
    return tr("Check for Updates");
}

bool SettingsModel::updatePillEnabled() const {
    const UpdatesControl* u = updates();
    return u && u->canCheck();
}

QString SettingsModel::lastCheckedText() const {
    const UpdatesControl* u = updates();
    if (!u || !u->lastChecked().isValid()) {
        return tr("Not checked yet");
    }
    return tr("Checked %1").arg(relativeText(u->lastChecked(), clock_()));
}

QString SettingsModel::screenRecordingTrailing() const {
    return permissionTrailing(permissions_->needsRelaunch(), permissions_->screenRecording());
}

QString SettingsModel::accessibilityTrailing() const {
    return permissionTrailing(false, permissions_->accessibility());
}

QString SettingsModel::permissionTrailing(bool needsRelaunch, bool granted) {
    if (needsRelaunch) {
        return QStringLiteral("reopen");
    }
    return granted ? QStringLiteral("allowed") : QStringLiteral("allow");
}

QString SettingsModel::relativeText(const QDateTime& then, const QDateTime& now) {
    const qint64 seconds = then.secsTo(now);
    if (seconds < 60) {
        return tr("just now");
    }
    // Each unit is written out for one and for more, so that a translation sees both forms.
    const qint64 minutes = seconds / 60;
    if (minutes < 60) {
        return minutes == 1 ? tr("1 minute ago") : tr("%1 minutes ago").arg(minutes);
    }
    const qint64 hours = minutes / 60;
    if (hours < 24) {
        return hours == 1 ? tr("1 hour ago") : tr("%1 hours ago").arg(hours);
    }
    const qint64 days = hours / 24;
    return days == 1 ? tr("yesterday") : tr("%1 days ago").arg(days);
}

void SettingsModel::refreshOnActivation() {
    if (session_ && session_->shell() && session_->shell()->loginItem()) {
        session_->shell()->loginItem()->refresh();
    }
    permissions_->refresh();
}

void SettingsModel::updatePillClicked() {
    if (UpdatesControl* u = updates(); u && u->canCheck()) {
        u->checkForUpdates();
    }
}

}  // namespace quillory
