#pragma once

#include <QtQml/qqmlregistration.h>

#include <QFutureWatcher>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/interface/quick_controls_view.h"
#include "app/session/session_facade.h"
#include "platform/clock/clock.h"

namespace quillory {

// What the status panel's quick controls show, derived from the session, its Studio, the updater
// and the two permission probes, and what their buttons do. Every shown value is recomputed when
// any of those publishes a change; `changed` fires only when something shown differs. Colours
// are token names of Design.colors ("accent", "warning", "destructive"; empty for none).
// Main thread only.
//
// Confirm is enabled only while the session can approve and the code has been on screen for
// `codeDelay` seconds, so that a stray click or Return cannot confirm a code nobody looked at.
class QuickControlsModel : public QuickControlsView {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(SessionFacade* session READ session WRITE setSession NOTIFY sessionChanged)
    // Used in the listening detail; "Mac" while empty.
    Q_PROPERTY(QString computerName READ computerName WRITE setComputerName NOTIFY changed)

  public:
    static constexpr double codeDelay = 1.0;

    struct Probes {
        std::function<bool()> inputAccess;    // desktop control access
        std::function<bool()> screenCapture;  // screen sharing
    };

    explicit QuickControlsModel(QObject* parent = nullptr);
    ~QuickControlsModel() override;

    // Tests replace the clock, the probes and the locale before setting the session.
    void setClock(std::shared_ptr<const Clock> clock);
    void setProbes(Probes probes);
    void setLocale(const QLocale& locale);
    const QTimer& codeTimer() const { return codeTimer_; }

    SessionFacade* session() const { return session_; }
    void setSession(SessionFacade* session);
    QString computerName() const { return computerName_; }
    void setComputerName(const QString& name);
    // Looks the computer name up off the main thread (it may wait on D-Bus) and sets it.
    Q_INVOKABLE void lookUpComputerName();

    // "Allow connections" and "Try again".
    Q_INVOKABLE void start();
    // Cancel, "Stop waiting" and "Disconnect".
    Q_INVOKABLE void disconnect();
    // Confirm, by click or Return; does nothing while Confirm is disabled. A refusal ends the
    // current channel as unverified.
    Q_INVOKABLE void confirm();
    // The Studio row's button: "Stop", "Reopen" or "OK".
    Q_INVOKABLE void studioAction();
    Q_INVOKABLE void setDesktopControl(bool on);
    // Hides the panel, then asks for the card window.
    Q_INVOKABLE void openWindow(const QString& identifier);
    // Hides the panel, then checks when the updater runs.
    Q_INVOKABLE void checkForUpdates();
    // "Quit Quillory": the explicit quit.
    Q_INVOKABLE void quit();
    // Re-reads everything (also the probes).
    Q_INVOKABLE void refresh();

  signals:
    void sessionChanged();
    void closePopoverRequested();
    void openUtilityRequested(const QString& identifier);
    void quitRequested();

  private:
    View describe() const;
    void describeWaiting(View& view) const;
    void describePairing(View& view) const;
    void describeConnected(View& view) const;
    void describeMenu(View& view) const;
    void describeSignal(View& view) const;
    QString peerLabel() const;
    QString latencyText() const;
    void codeChanged();
    void watch(QObject* object);

    QPointer<SessionFacade> session_;
    QList<QMetaObject::Connection> connections_;
    std::shared_ptr<const Clock> clock_;
    Probes probes_;
    QLocale locale_;
    QString computerName_;
    std::unique_ptr<QFutureWatcher<QString>> nameLookup_;
    QString shownCode_;
    double codeShownAt_ = 0;
    QTimer codeTimer_;
};

// The latency as the tablet row shows it: "12.3 ms" in `locale`, "Measuring…", "No reply" or
// "Update companion".
QString latencyStatusText(const LinkLatency& latency, const QLocale& locale);

}  // namespace quillory
