#include "app/interface/mac_status_item_controller.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QScreen>

#include "app/interface/window_stacking.h"
#include "app/session/root_property_notifier.h"
#include "design/menu_bar_mark.h"
#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& logger() {
    static const Logger instance("app.quillory.interface", "status-item");
    return instance;
}

constexpr int trayRecheckMs = 3000;
// A focus-loss hide this close before a tray activation was caused by that click.
constexpr double clickCloseWindow = 0.3;

StatusItemEnvironment withDefaults(StatusItemEnvironment environment) {
    if (!environment.clock) {
        environment.clock = std::make_shared<SystemClock>();
    }
    if (!environment.pointer) {
        environment.pointer = [] { return QCursor::pos(); };
    }
    if (!environment.availableAt) {
        environment.availableAt = [](QPoint point) {
            QScreen* screen = QGuiApplication::screenAt(point);
            if (!screen) {
                screen = QGuiApplication::primaryScreen();
            }
            return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
        };
    }
    if (!environment.applicationState) {
        environment.applicationState = [] { return QGuiApplication::applicationState(); };
    }
    return environment;
}

}  // namespace

QString statusToolTip(MacConnectionState state) {
    QString text;
    switch (state) {
        case MacConnectionState::idle:
            text = MacStatusItemController::tr("Idle");
            break;
        case MacConnectionState::pairing:
            text = MacStatusItemController::tr("Pairing: confirm the code");
            break;
        case MacConnectionState::connected:
            text = MacStatusItemController::tr("Connected");
            break;
        case MacConnectionState::failed:
            text = MacStatusItemController::tr("Connection failed");
            break;
    }
    return QStringLiteral("Quillory \u00B7 ") + text;
}

MacStatusItemController::MacStatusItemController(SessionFacade* session,
                                                 std::function<void(QString)> openUtility,
                                                 StatusItemEnvironment environment, QObject* parent)
    : QObject(parent),
      session_(session),
      openUtility_(std::move(openUtility)),
      environment_(withDefaults(std::move(environment))),
      layout_(environment_.availableAt),
      visibility_(new PanelVisibility(this)) {
    createPanel(environment_.content);

    subscriptions_ << connect(session_, &SessionFacade::connectionStateChanged, this,
                              [this] { updateStatusButton(session_->connectionState()); });
    subscriptions_ << connect(session_, &SessionFacade::pairingCodeChanged, this,
                              &MacStatusItemController::pairingCodeChanged);
    subscriptions_ << connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
                              &MacStatusItemController::applicationStateChanged);
    if (environment_.desktop) {
        subscriptions_ << connect(environment_.desktop, &RootPropertyNotifier::changed, this,
                                  [this](const QString& name) {
                                      if (name == QLatin1String("_NET_CURRENT_DESKTOP")) {
                                          desktopSwitched();
                                      } else if (name == QLatin1String("_NET_ACTIVE_WINDOW")) {
                                          activeWindowChanged();
                                      }
                                  });
    }
    lastCode_ = session_->pairingCode();

    trayRecheck_.setSingleShot(true);
    trayRecheck_.setInterval(trayRecheckMs);
    connect(&trayRecheck_, &QTimer::timeout, this, &MacStatusItemController::recheckTray);
    if (environment_.tray && environment_.tray->isAvailable()) {
        installTray();
    } else {
        trayRecheck_.start();
    }
    updateStatusButton(session_->connectionState());
}

MacStatusItemController::~MacStatusItemController() {
    teardown();
}

void MacStatusItemController::createPanel(QQmlComponent* content) {
    if (!environment_.engine) {
        logger().error("No QML engine: the status panel is left out");
        return;
    }
    QQmlComponent component(
        environment_.engine,
        QUrl(QStringLiteral("qrc:/qt/qml/QuilloryInterface/qml/StatusPanel.qml")));
    if (!component.isReady()) {
        logger().error("Cannot build the status panel: %s",
                       qUtf8Printable(component.errorString()));
        return;
    }
    QObject* object = component.createWithInitialProperties(
        {{QStringLiteral("session"), QVariant::fromValue(static_cast<QObject*>(session_))},
         {QStringLiteral("controller"), QVariant::fromValue(static_cast<QObject*>(this))},
         {QStringLiteral("visibility"), QVariant::fromValue(static_cast<QObject*>(visibility_))},
         {QStringLiteral("content"), QVariant::fromValue(content)}});
    panel_ = qobject_cast<QQuickWindow*>(object);
    if (!panel_) {
        logger().error("Cannot build the status panel: %s",
                       qUtf8Printable(component.errorString()));
        delete object;
        return;
    }
    connect(panel_, SIGNAL(sizeReported(double, double)), this,
            SLOT(onSizeReported(double, double)));
    connect(panel_, SIGNAL(closeRequested()), this, SLOT(hidePanel()));
    connect(panel_, &QWindow::activeChanged, this, &MacStatusItemController::panelActiveChanged);
    // The first layout happened during creation, before anyone listened.
    auto* surface = panel_->findChild<QQuickItem*>(QStringLiteral("statusPanelSurface"));
    if (surface) {
        reportSize(QSizeF(surface->implicitWidth(), surface->implicitHeight()));
    }
    layout_.attach(*panel_, surface, [this] { return !environment_.maskCorners; });
    connect(panel_, &QWindow::visibleChanged, this, [this] {
        // The fallback window's close button hides it behind our back.
        if (panel_ && !panel_->isVisible()) {
            visibility_->setVisible(false);
            setWatching(false);
        }
    });
}

void MacStatusItemController::installTray() {
    trayRecheck_.stop();
    if (trayInstalled_ || !environment_.tray) {
        return;
    }
    trayInstalled_ = true;
    connect(environment_.tray.get(), &TrayBackend::triggered, this,
            &MacStatusItemController::togglePanel);
    updateStatusButton(session_->connectionState());
    environment_.tray->show();
}

void MacStatusItemController::recheckTray() {
    if (tornDown_ || trayInstalled_ || fallback_) {
        return;
    }
    if (environment_.tray && environment_.tray->isAvailable()) {
        installTray();
    } else {
        enterFallback();
    }
}

void MacStatusItemController::enterFallback() {
    logger().info("No system tray: the panel becomes a window of its own");
    fallback_ = true;
    if (!panel_) {
        return;
    }
    panel_->setProperty("fallback", true);
    layout_.dropFrame();
    layout_.layOut(true);
    showPanel(Opening::user);
}

void MacStatusItemController::setContextMenu(QMenu* menu) {
    if (environment_.tray) {
        environment_.tray->setContextMenu(menu);
    }
}

void MacStatusItemController::updateStatusButton(MacConnectionState state) {
    if (!trayInstalled_ || !environment_.tray) {
        return;
    }
    environment_.tray->setIcon(MenuBarMark::trayIcon(static_cast<MenuBarMark::State>(state)));
    environment_.tray->setToolTip(statusToolTip(state));
}

void MacStatusItemController::pairingCodeChanged() {
    const QString code = session_->pairingCode();
    if (code == lastCode_) {
        return;
    }
    lastCode_ = code;
    if (!code.isEmpty()) {
        showPanel(Opening::code);
        return;
    }
    if (unattended_) {
        hidePanel();
    }
    stopFloating();
}

void MacStatusItemController::stopFloating() {
    if (!floating_ || !panel_) {
        return;
    }
    floating_ = false;
    if (fallback_) {
        floatAboveActiveWindow(*panel_, false);
    } else {
        followActiveWindow(*panel_, false);
    }
}

QRect MacStatusItemController::trayAnchor() const {
    if (!trayInstalled_ || !environment_.tray) {
        return {};
    }
    const QRect geometry = environment_.tray->geometry();
    return geometry.isValid() && !geometry.isEmpty() ? geometry : QRect();
}

void MacStatusItemController::showPanel(Opening opening) {
    if (!panel_ || tornDown_) {
        return;
    }
    layout_.anchorTo(trayAnchor(), opening == Opening::user, environment_.pointer);
    layout_.layOut(fallback_);
    if (opening == Opening::user) {
        unattended_ = false;
    } else if (!panel_->isVisible()) {
        unattended_ = true;
    }
    // The drop-down panel is part of the tray icon; the fallback window is the application's
    // window and belongs in the taskbar.
    keepOutOfTaskbar(*panel_, !fallback_);
    // Read by Qt's xcb plugin when the window is mapped: no user time, so no focus.
    panel_->setProperty("_q_showWithoutActivating", opening == Opening::code);
    panel_->show();
    panel_->raise();
    visibility_->setVisible(true);
    if (opening == Opening::user) {
        panel_->requestActivate();
    } else {
        // A focused full-screen window sits above every window kept on top, and a normal window
        // would open under the window in use: stacked with that window, the code shows.
        floating_ = true;
        if (fallback_) {
            floatAboveActiveWindow(*panel_, true);
        } else {
            followActiveWindow(*panel_, true);
        }
    }
    setWatching(!fallback_);
}

void MacStatusItemController::hidePanel() {
    if (!panel_ || fallback_) {
        return;
    }
    setWatching(false);
    unattended_ = false;
    stopFloating();
    panel_->hide();
    visibility_->setVisible(false);
}

void MacStatusItemController::togglePanel() {
    if (!panel_) {
        return;
    }
    if (panel_->isVisible() && !fallback_) {
        hidePanel();
        return;
    }
    // On X11 the click on the icon first takes the focus from the panel, which hides it; the
    // activation that follows is the same click and must not reopen it.
    if (focusLossHideAt_ &&
        environment_.clock->nowSeconds() - *focusLossHideAt_ < clickCloseWindow) {
        focusLossHideAt_.reset();
        return;
    }
    showPanel(Opening::user);
}

void MacStatusItemController::teardown() {
    if (tornDown_) {
        return;
    }
    for (const auto& subscription : subscriptions_) {
        disconnect(subscription);
    }
    subscriptions_.clear();
    trayRecheck_.stop();
    setWatching(false);
    if (panel_) {
        fallback_ = false;
        hidePanel();
        panel_->close();
        delete panel_;
    }
    tornDown_ = true;
    if (environment_.tray) {
        environment_.tray->remove();
    }
}

void MacStatusItemController::openUtility(const QString& identifier) {
    if (openUtility_) {
        openUtility_(identifier);
    }
}

void MacStatusItemController::onSizeReported(double width, double height) {
    reportSize(QSizeF(width, height));
}

void MacStatusItemController::reportSize(QSizeF size) {
    // Deferred one turn: the surface reports from inside its own layout pass.
    QMetaObject::invokeMethod(
        this, [this, size] { layout_.apply(size, fallback_); }, Qt::QueuedConnection);
}

void MacStatusItemController::panelActiveChanged() {
    if (panel_ && panel_->isActive()) {
        unattended_ = false;
    } else if (panel_) {
        panelLostActivation(QGuiApplication::focusWindow());
    }
}

void MacStatusItemController::panelLostActivation(QWindow* focus) {
    if (!panel_ || fallback_ || !panel_->isVisible() || !environment_.closeOnFocusLoss) {
        return;
    }
    if (focus && focus != panel_) {
        return;  // another window of ours took the keyboard: the user still works with us
    }
    hidePanel();
    focusLossHideAt_ = environment_.clock->nowSeconds();
}

void MacStatusItemController::applicationStateChanged(Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive || fallback_ || !visibility_->visible() ||
        !environment_.closeOnFocusLoss) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (environment_.applicationState() != Qt::ApplicationActive) {
                hidePanel();
            }
        },
        Qt::QueuedConnection);
}

void MacStatusItemController::desktopSwitched() {
    hidePanel();
}

void MacStatusItemController::activeWindowChanged() {
    // A code may arrive while the keyboard passes between windows, with none active, or the user
    // may turn to another window while it shows: either way it belongs above the one in use now.
    if (floating_ && panel_) {
        followActiveWindow(*panel_, true);
    }
}

void MacStatusItemController::setWatching(bool on) {
    if (on == watching_) {
        return;
    }
    watching_ = on;
    if (!qGuiApp) {
        return;
    }
    if (on) {
        qGuiApp->installEventFilter(this);
    } else {
        qGuiApp->removeEventFilter(this);
    }
}

bool MacStatusItemController::eventFilter(QObject* watched, QEvent* event) {
    if (!watching_ || !panel_) {
        return false;
    }
    if (event->type() == QEvent::KeyPress && watched == panel_ &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        hidePanel();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress && watched != panel_ && watched->isWindowType()) {
        // A press on the icon is left to its own activation, which toggles the panel.
        if (environment_.tray && environment_.tray->ownsWindow(static_cast<QWindow*>(watched))) {
            return false;
        }
        hidePanel();  // the press still reaches its window
    }
    return false;
}

}  // namespace quillory
