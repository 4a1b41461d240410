#pragma once

#include <QtQml/qqmlregistration.h>

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "app/interface/permission_rows_model.h"
#include "app/session/session_facade.h"

namespace quillory {

class UserDefaults;

// The welcome window's flow: three steps, the "Open at login" choice, the two grants (polled
// every second while shown), the texts of each step and how onboarding ends. "onboarding.completed"
// is written true at every step change and at the end, never false. Ending on the last step (its
// primary button, "Skip" or Escape) applies the login choice; ending earlier leaves it. Main
// thread.
class OnboardingModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(quillory::SessionFacade* session READ session WRITE setSession NOTIFY sessionChanged)
    // The window is on screen: the grants are polled.
    Q_PROPERTY(bool shown READ shown WRITE setShown NOTIFY shownChanged)
    Q_PROPERTY(Step step READ step NOTIFY stepChanged)
    // The step as 0, 1, 2, for the views.
    Q_PROPERTY(int stepIndex READ stepIndex NOTIFY stepChanged)
    Q_PROPERTY(bool openAtLogin READ openAtLogin WRITE setOpenAtLogin NOTIFY openAtLoginChanged)
    Q_PROPERTY(bool accessibility READ accessibility NOTIFY accessibilityChanged)
    Q_PROPERTY(bool screenRecording READ screenRecording NOTIFY screenRecordingChanged)
    // Empty until known; the texts then say "Mac".
    Q_PROPERTY(QString computerName READ computerName WRITE setComputerName NOTIFY textsChanged)
    Q_PROPERTY(bool connected READ connected NOTIFY textsChanged)
    Q_PROPERTY(QString primaryTitle READ primaryTitle NOTIFY textsChanged)
    Q_PROPERTY(QString title READ title NOTIFY textsChanged)
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY textsChanged)
    Q_PROPERTY(QString artName READ artName NOTIFY textsChanged)

  public:
    enum class Step { welcome = 0, permissions = 1, connect = 2 };
    Q_ENUM(Step)

    static constexpr int pollIntervalMs = 1000;

    struct Environment {
        // Null: the user's store, opened at the first write.
        std::shared_ptr<UserDefaults> defaults;
        PermissionRowsModel::Probes probes;  // empty: this computer's
        // Asked off the main thread when the model is made and each time the last step opens;
        // null: never asked.
        std::function<QString()> computerName;
        // Whether a system tray shows our icon, asked with the grants; null: one does.
        std::function<bool()> trayAvailable;
    };

    explicit OnboardingModel(QObject* parent = nullptr);
    explicit OnboardingModel(Environment environment, QObject* parent = nullptr);
    ~OnboardingModel() override;

    // Tests and screenshots swap the store, the probes and the name source after QML made the
    // model; the probes are read at once.
    void setEnvironment(Environment environment);

    SessionFacade* session() const { return session_; }
    void setSession(SessionFacade* session);
    bool shown() const { return permissions_->active(); }
    void setShown(bool shown);
    Step step() const { return step_; }
    int stepIndex() const { return static_cast<int>(step_); }
    bool openAtLogin() const { return openAtLogin_; }
    void setOpenAtLogin(bool on);
    bool accessibility() const { return permissions_->accessibility(); }
    bool screenRecording() const { return permissions_->screenRecording(); }
    QString computerName() const { return computerName_; }
    void setComputerName(const QString& name);
    bool connected() const { return session_ && session_->connected(); }
    const QTimer& pollTimer() const { return permissions_->pollTimer(); }

    QString primaryTitle() const;
    QString title() const;
    QString subtitle() const;
    QString artName() const;

    // The primary button: the next step, or the end on the last one.
    Q_INVOKABLE void advance();
    // "Back": the step before; the first step stays.
    Q_INVOKABLE void goBack();
    // "Skip" and Escape: the end, as the primary button on the last step.
    Q_INVOKABLE void skip();
    // Asks both grants now.
    Q_INVOKABLE void refresh();
    Q_INVOKABLE void allowAccessibility() { permissions_->allowAccessibility(); }
    Q_INVOKABLE void allowScreenRecording() { permissions_->allowScreenRecording(); }

  signals:
    void sessionChanged();
    void shownChanged();
    void stepChanged();
    void openAtLoginChanged();
    void accessibilityChanged();
    void screenRecordingChanged();
    void textsChanged();
    void closeRequested();
    void finishRequested();

  private:
    void setStep(Step step);
    void markCompleted();
    void complete();
    void lookUpComputerName();
    void readTray();

    Environment environment_;
    PermissionRowsModel* permissions_;
    QPointer<SessionFacade> session_;
    QList<QMetaObject::Connection> sessionConnections_;
    Step step_ = Step::welcome;
    bool openAtLogin_ = true;
    QString computerName_;
    bool tray_ = true;
    std::unique_ptr<QFutureWatcher<QString>> nameLookup_;
};

}  // namespace quillory
