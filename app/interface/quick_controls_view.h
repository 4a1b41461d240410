#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>
#include <QString>

namespace quillory {

// What the status panel's quick controls show, one property each, all announced by `changed`,
// which fires only when something shown differs. Main thread only.
class QuickControlsView : public QObject {
    Q_OBJECT
    QML_ANONYMOUS
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
    explicit QuickControlsView(QObject* parent = nullptr) : QObject(parent) {}

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

  signals:
    void changed();

  protected:
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

    const View& view() const { return view_; }
    // Shows `next`; announced only when it differs from what is shown.
    void show(View next);

  private:
    View view_;
};

}  // namespace quillory
