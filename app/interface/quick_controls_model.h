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
class QuickControlsModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(SessionFacade* session READ session WRITE setSession NOTIFY sessionChanged)
    // Used in the listening detail; "Mac" while empty.
    Q_PROPERTY(QString computerName READ computerName WRITE setComputerName NOTIFY changed)
    // "pairing", "connected" or "waiting".
    Q_PROPERTY(QString card READ card NOTIFY changed)
    Q_PROPERTY(QString waitingTitle READ waitingTitle NOTIFY changed)
    Q_PROPERTY(QString waitingDetail READ waitingDetail NOTIFY changed)
    Q_PROPERTY(QString waitingIcon READ waitingIcon NOTIFY changed)
    Q_PROPERTY(QString waitingTint READ waitingTint NOTIFY changed)
    // "Try again", "Allow connections" or empty.
    Q_PROPERTY(QString primaryButton READ primaryButton NOTIFY changed)
    Q_PROPERTY(bool stopWaitingVisible READ stopWaitingVisible NOTIFY changed)
    Q_PROPERTY(QString pairingTitle READ pairingTitle NOTIFY changed)
    Q_PROPERTY(QString thisMacStatus READ thisMacStatus NOTIFY changed)
    Q_PROPERTY(QString peerStatus READ peerStatus NOTIFY changed)
    Q_PROPERTY(QString confirmTitle READ confirmTitle NOTIFY changed)
    Q_PROPERTY(bool confirmEnabled READ confirmEnabled NOTIFY changed)
    // The code has been on screen for the delay (Confirm is dimmed before).
    Q_PROPERTY(bool codeSettled READ codeSettled NOTIFY changed)
    Q_PROPERTY(QString tabletDetail READ tabletDetail NOTIFY changed)
    // "active", "stopped" or empty.
    Q_PROPERTY(QString studioRow READ studioRow NOTIFY changed)
    Q_PROPERTY(QString studioTitle READ studioTitle NOTIFY changed)
    Q_PROPERTY(QString studioDetail READ studioDetail NOTIFY changed)
    // "Stop", "Reopen" or "OK".
    Q_PROPERTY(QString studioButton READ studioButton NOTIFY changed)
    Q_PROPERTY(QString updateBanner READ updateBanner NOTIFY changed)
    Q_PROPERTY(bool checkForUpdatesVisible READ checkForUpdatesVisible NOTIFY changed)
    Q_PROPERTY(bool checkForUpdatesEnabled READ checkForUpdatesEnabled NOTIFY changed)
    Q_PROPERTY(bool desktopControlOn READ desktopControlOn NOTIFY changed)
    Q_PROPERTY(QString desktopControlDetail READ desktopControlDetail NOTIFY changed)
    Q_PROPERTY(QString desktopControlTint READ desktopControlTint NOTIFY changed)
    // "live", "pending" or "idle".
    Q_PROPERTY(QString signalDot READ signalDot NOTIFY changed)
    Q_PROPERTY(QString signalWord READ signalWord NOTIFY changed)
    Q_PROPERTY(bool signalFailed READ signalFailed NOTIFY changed)

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

    QString card() const { return view_.card; }
    QString waitingTitle() const { return view_.waitingTitle; }
    QString waitingDetail() const { return view_.waitingDetail; }
    QString waitingIcon() const { return view_.waitingIcon; }
    QString waitingTint() const { return view_.waitingTint; }
    QString primaryButton() const { return view_.primaryButton; }
    bool stopWaitingVisible() const { return view_.stopWaitingVisible; }
    QString pairingTitle() const { return view_.pairingTitle; }
    QString thisMacStatus() const { return view_.thisMacStatus; }
    QString peerStatus() const { return view_.peerStatus; }
    QString confirmTitle() const { return view_.confirmTitle; }
    bool confirmEnabled() const { return view_.confirmEnabled; }
    bool codeSettled() const { return view_.codeSettled; }
    QString tabletDetail() const { return view_.tabletDetail; }
    QString studioRow() const { return view_.studioRow; }
    QString studioTitle() const { return view_.studioTitle; }
    QString studioDetail() const { return view_.studioDetail; }
    QString studioButton() const { return view_.studioButton; }
    QString updateBanner() const { return view_.updateBanner; }
    bool checkForUpdatesVisible() const { return view_.checkForUpdatesVisible; }
    bool checkForUpdatesEnabled() const { return view_.checkForUpdatesEnabled; }
    bool desktopControlOn() const { return view_.desktopControlOn; }
    QString desktopControlDetail() const { return view_.desktopControlDetail; }
    QString desktopControlTint() const { return view_.desktopControlTint; }
    QString signalDot() const { return view_.signalDot; }
    QString signalWord() const { return view_.signalWord; }
    bool signalFailed() const { return view_.signalFailed; }

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
    void changed();
    void closePopoverRequested();
    void openUtilityRequested(const QString& identifier);
    void quitRequested();

  private:
    struct View {
        QString card, waitingTitle, waitingDetail, waitingIcon, waitingTint, primaryButton;
        bool stopWaitingVisible = false;
        QString pairingTitle, thisMacStatus, peerStatus, confirmTitle;
        bool confirmEnabled = false;
        bool codeSettled = false;
        QString tabletDetail, studioRow, studioTitle, studioDetail, studioButton, updateBanner;
        bool studioRelaunches = false;
        bool checkForUpdatesVisible = false;
        bool checkForUpdatesEnabled = false;
        bool desktopControlOn = false;
        QString desktopControlDetail, desktopControlTint, signalDot, signalWord;
        bool signalFailed = false;
        friend bool operator==(const View&, const View&) = default;
    };

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
    View view_;
};

// The latency as the tablet row shows it: "12.3 ms" in `locale`, "Measuring…", "No reply" or
// "Update companion".
QString latencyStatusText(const LinkLatency& latency, const QLocale& locale);

}  // namespace quillory
