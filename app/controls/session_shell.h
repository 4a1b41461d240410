#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

namespace quillory {

// The software updater as the views see it. Without an updater `available` stays false and the
// views hide their update controls.
class UpdatesControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool available READ available NOTIFY availableChanged)
    Q_PROPERTY(bool canCheck READ canCheck NOTIFY canCheckChanged)
    // The version about to be offered; empty when none.
    Q_PROPERTY(QString pendingVersion READ pendingVersion NOTIFY pendingVersionChanged)
    // Invalid when never checked.
    Q_PROPERTY(QDateTime lastChecked READ lastChecked NOTIFY lastCheckedChanged)
    Q_PROPERTY(bool automaticChecks READ automaticChecks WRITE setAutomaticChecks NOTIFY
                   automaticChecksChanged)
    Q_PROPERTY(bool automaticInstalls READ automaticInstalls WRITE setAutomaticInstalls NOTIFY
                   automaticInstallsChanged)
    // "<version> (<build>)" of the running program.
    Q_PROPERTY(QString appVersionString READ appVersionString CONSTANT)

  public:
    using QObject::QObject;

    bool available() const { return available_; }
    bool canCheck() const { return canCheck_; }
    QString pendingVersion() const { return pendingVersion_; }
    QDateTime lastChecked() const { return lastChecked_; }
    bool automaticChecks() const { return automaticChecks_; }
    bool automaticInstalls() const { return automaticInstalls_; }

    virtual QString appVersionString() const = 0;
    virtual void setAutomaticChecks(bool on) = 0;
    virtual void setAutomaticInstalls(bool on) = 0;
    Q_INVOKABLE virtual void checkForUpdates() = 0;

  signals:
    void availableChanged();
    void canCheckChanged();
    void pendingVersionChanged();
    void lastCheckedChanged();
    void automaticChecksChanged();
    void automaticInstallsChanged();

  protected:
    void publishAvailable(bool value);
    void publishCanCheck(bool value);
    void publishPendingVersion(const QString& value);
    void publishLastChecked(const QDateTime& value);
    void publishAutomaticChecks(bool value);
    void publishAutomaticInstalls(bool value);

  private:
    bool available_ = false;
    bool canCheck_ = false;
    QString pendingVersion_;
    QDateTime lastChecked_;
    bool automaticChecks_ = false;
    bool automaticInstalls_ = false;
};

// Starting the application with the user's session.
class LoginItemControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)
    Q_PROPERTY(bool needsApproval READ needsApproval NOTIFY needsApprovalChanged)
    // The last failure's text; empty when none.
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)

  public:
    using QObject::QObject;

    bool enabled() const { return enabled_; }
    bool needsApproval() const { return needsApproval_; }
    QString error() const { return error_; }

    Q_INVOKABLE virtual void setEnabled(bool enabled) = 0;
    Q_INVOKABLE virtual void refresh() = 0;

  signals:
    void enabledChanged();
    void needsApprovalChanged();
    void errorChanged();

  protected:
    void publishEnabled(bool value);
    void publishNeedsApproval(bool value);
    void publishError(const QString& value);

  private:
    bool enabled_ = false;
    bool needsApproval_ = false;
    QString error_;
};

// What the views use of the application shell besides the session.
class SessionShell : public QObject {
    Q_OBJECT
    Q_PROPERTY(UpdatesControl* updates READ updates CONSTANT)
    Q_PROPERTY(LoginItemControl* loginItem READ loginItem CONSTANT)
    // Screen sharing as it was allowed at launch; a later grant needs a relaunch.
    Q_PROPERTY(bool screenCaptureAllowedAtLaunch READ screenCaptureAllowedAtLaunch CONSTANT)

  public:
    enum class PermissionKind { accessibility, screenRecording };
    Q_ENUM(PermissionKind)

    using QObject::QObject;

    virtual UpdatesControl* updates() const = 0;
    virtual LoginItemControl* loginItem() const = 0;
    virtual bool screenCaptureAllowedAtLaunch() const = 0;
    Q_INVOKABLE virtual void relaunchApplication() = 0;
    Q_INVOKABLE virtual void showPermissionGuide(quillory::SessionShell::PermissionKind kind) = 0;
};

// Stand-ins until the shell's own parts exist: no updater, no login item, screen sharing
// allowed (it always is on X11), no relaunch and no guide.
class InertUpdates final : public UpdatesControl {
    Q_OBJECT

  public:
    using UpdatesControl::UpdatesControl;
    QString appVersionString() const override { return QStringLiteral("? (?)"); }
    void setAutomaticChecks(bool) override {}
    void setAutomaticInstalls(bool) override {}
    void checkForUpdates() override {}
};

class InertLoginItem final : public LoginItemControl {
    Q_OBJECT

  public:
    using LoginItemControl::LoginItemControl;
    void setEnabled(bool) override {}
    void refresh() override {}
};

class InertShell final : public SessionShell {
    Q_OBJECT

  public:
    explicit InertShell(QObject* parent = nullptr);

    UpdatesControl* updates() const override { return updates_; }
    LoginItemControl* loginItem() const override { return loginItem_; }
    bool screenCaptureAllowedAtLaunch() const override { return true; }
    void relaunchApplication() override {}
    void showPermissionGuide(PermissionKind) override {}

  private:
    InertUpdates* updates_;
    InertLoginItem* loginItem_;
};

}  // namespace quillory
