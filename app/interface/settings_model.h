#pragma once

#include <QtQml/qqmlregistration.h>

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>

#include "app/interface/permission_rows_model.h"
#include "app/session/session_facade.h"

namespace quillory {

// What the settings window derives from the session's shell: the update pill, the updates and
// login rows and the permission rows. The permissions are read while `active` (the rows' poll)
// and, like the login item, again whenever the application becomes active. Main thread only.
class SettingsModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(SessionFacade* session READ session WRITE setSession NOTIFY sessionChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(PermissionRowsModel* permissions READ permissions CONSTANT)
    // The updater's "<version> (<build>)".
    Q_PROPERTY(QString version READ version NOTIFY sessionChanged)
    Q_PROPERTY(QUrl supportUrl READ supportUrl CONSTANT)
    Q_PROPERTY(QUrl privacyUrl READ privacyUrl CONSTANT)
    // The maker's web-site domain the update texts name; never empty.
    Q_PROPERTY(QString websiteDomain READ websiteDomain CONSTANT)
    Q_PROPERTY(QString updatePillText READ updatePillText NOTIFY updatesChanged)
    Q_PROPERTY(bool updatePillEnabled READ updatePillEnabled NOTIFY updatesChanged)
    Q_PROPERTY(QString lastCheckedText READ lastCheckedText NOTIFY updatesChanged)
    // "reopen", "allowed" or "allow": the trailing control of the screen sharing row.
    Q_PROPERTY(
        QString screenRecordingTrailing READ screenRecordingTrailing NOTIFY permissionsChanged)
    Q_PROPERTY(QString accessibilityTrailing READ accessibilityTrailing NOTIFY permissionsChanged)

  public:
    using Clock = std::function<QDateTime()>;

    explicit SettingsModel(QObject* parent = nullptr);
    // Tests inject the clock and the permission probes.
    SettingsModel(Clock clock, PermissionRowsModel::Probes probes, QObject* parent = nullptr);

    SessionFacade* session() const { return session_; }
    void setSession(SessionFacade* session);
    bool active() const { return permissions_->active(); }
    void setActive(bool active) { permissions_->setActive(active); }
    PermissionRowsModel* permissions() const { return permissions_; }

    QString version() const;
    static QUrl supportUrl();
    static QUrl privacyUrl();
    static QString websiteDomain();
    QString updatePillText() const;
    bool updatePillEnabled() const;
    QString lastCheckedText() const;
    QString screenRecordingTrailing() const;
    QString accessibilityTrailing() const;

    // The trailing control of a permission row, in this order: a pending relaunch, a grant,
    // else the request.
    static QString permissionTrailing(bool needsRelaunch, bool granted);
    // "5 minutes ago" and the like; a time ahead of `now` counts as just now.
    static QString relativeText(const QDateTime& then, const QDateTime& now);

    // The application became active: the login item, then the permissions.
    Q_INVOKABLE void refreshOnActivation();
    Q_INVOKABLE void updatePillClicked();

  signals:
    void sessionChanged();
    void activeChanged();
    void updatesChanged();
    void permissionsChanged();

  private:
    UpdatesControl* updates() const;

    Clock clock_;
    PermissionRowsModel* permissions_;
    QPointer<SessionFacade> session_;
    QList<QMetaObject::Connection> connections_;
};

}  // namespace quillory
