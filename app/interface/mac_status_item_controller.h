#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QSizeF>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "app/interface/panel_visibility.h"
#include "app/interface/status_panel_layout.h"
#include "app/interface/tray_backend.h"
#include "app/session/session_facade.h"
#include "app/shell/mac_app_lifecycle.h"
#include "platform/clock/clock.h"

class QMenu;
class QQmlComponent;
class QQmlEngine;

namespace quillory {

class RootPropertyNotifier;

// What the status item needs from the application; tests replace the parts they drive.
struct StatusItemEnvironment {
    std::unique_ptr<TrayBackend> tray;
    QQmlEngine* engine = nullptr;
    // The panel's content (the quick controls); none leaves the surface empty.
    QQmlComponent* content = nullptr;
    // Watches _NET_CURRENT_DESKTOP, to hide the panel when the desktop switches, and
    // _NET_ACTIVE_WINDOW, to keep a code above the window in use; none when there is no X server.
    RootPropertyNotifier* desktop = nullptr;
    // Without a compositing manager the panel is cut to its rounded shape, and casts no shadow.
    bool maskCorners = true;
    // The panel closes when the application loses the keyboard, as a drop-down does. The
    // screenshot tool keeps it open: other programs on its display take the keyboard whenever
    // they happen to open a window.
    bool closeOnFocusLoss = true;
    std::shared_ptr<const Clock> clock;                      // none: uptime
    std::function<QPoint()> pointer;                         // the pointer's position
    std::function<QRect(QPoint)> availableAt;                // the usable area of that screen
    std::function<Qt::ApplicationState()> applicationState;  // the application's state now
};

// The status item in the tray and its drop-down panel. Main thread only.
//
// The panel hides on Escape (swallowed), a press in another window of ours, losing activation
// unless the focus went to a window of ours, the application leaving the active state (unless
// active again a turn later), a desktop switch, and the content's close request. A panel opened
// by a pairing code never takes the keyboard, so that a Return meant for another window cannot
// confirm a code nobody looked at; when that code clears before the user turned to the panel, the
// panel goes with it, since no focus loss will ever hide it. Without a tray (checked again after 3
// s) the panel becomes a normal window that only its close button hides.
class MacStatusItemController : public QObject, public LifecycleStatusItem {
    Q_OBJECT

  public:
    enum class Opening {
        user,  // the tray, a second launch, the end of onboarding: takes the keyboard
        code,  // a pairing code arrived: shown without activation
    };

    MacStatusItemController(SessionFacade* session, std::function<void(QString)> openUtility,
                            StatusItemEnvironment environment, QObject* parent = nullptr);
    ~MacStatusItemController() override;

    void showPanel(Opening opening);
    void showPanelForUser() override { showPanel(Opening::user); }
    void togglePanel();
    // At quit: drops the subscriptions, closes the panel and removes the tray icon.
    void teardown() override;
    void setContextMenu(QMenu* menu);

    // Asks the application for a card window ("settings", ...).
    Q_INVOKABLE void openUtility(const QString& identifier);
    // The panel's "Quit Quillory": the user quits the application.
    Q_INVOKABLE void requestQuit() { emit quitRequested(); }

    QQuickWindow* panel() const { return panel_; }
    PanelVisibility* visibility() const { return visibility_; }
    QSizeF contentSize() const { return layout_.contentSize(); }
    bool isFallback() const { return fallback_; }
    const QTimer& trayRecheck() const { return trayRecheck_; }
    // The tray re-check's work, public so that tests need not wait for it.
    void recheckTray();
    // A deferred size report from the surface, as the panel sends it.
    void reportSize(QSizeF size);
    // The application's state changed (also driven by tests).
    void applicationStateChanged(Qt::ApplicationState state);
    // The current desktop changed.
    void desktopSwitched();
    // Another window has the keyboard, or none has.
    void activeWindowChanged();
    // The panel lost activation and `focus` (ours, or none) has the keyboard now.
    void panelLostActivation(QWindow* focus);

  public slots:
    void hidePanel();

  signals:
    void quitRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void onSizeReported(double width, double height);

  private:
    void createPanel(QQmlComponent* content);
    void installTray();
    void enterFallback();
    void updateStatusButton(MacConnectionState state);
    void pairingCodeChanged();
    // Drops the stacking with the window in use that a code asked for.
    void stopFloating();
    void panelActiveChanged();
    QRect trayAnchor() const;
    void setWatching(bool on);

    SessionFacade* session_;
    std::function<void(QString)> openUtility_;
    StatusItemEnvironment environment_;
    StatusPanelLayout layout_;
    QPointer<QQuickWindow> panel_;
    PanelVisibility* visibility_;
    QString lastCode_;
    std::optional<double> focusLossHideAt_;
    QTimer trayRecheck_;
    bool trayInstalled_ = false;
    bool fallback_ = false;
    bool floating_ = false;  // shown by a code above the window in use
    // Shown by a code and never activated since: nobody turned to it, so it goes with the code.
    bool unattended_ = false;
    bool watching_ = false;
    bool tornDown_ = false;
    QList<QMetaObject::Connection> subscriptions_;
};

// The tray's text for a state: "Quillory · Connected".
QString statusToolTip(MacConnectionState state);

}  // namespace quillory
