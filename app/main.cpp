#include <QtQml/qqmlextensionplugin.h>
#include <malloc.h>

#include <QApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickStyle>
#include <memory>
#include <utility>

#include "app/interface/application_icon.h"
#include "app/interface/card_window_manager.h"
#include "app/interface/scene_graph_backend.h"
#include "app/interface/status_item_builder.h"
#include "app/interface/update_dialog_window.h"
#include "app/permissions/permission_relaunch.h"
#include "app/session/computer_name_cache.h"
#include "app/session/mac_session.h"
#include "app/session/qt_main_executor.h"
#include "app/session/root_property_notifier.h"
#include "app/session/session_event_printer.h"
#include "app/shell/guide_panel.h"
#include "app/shell/mac_app_lifecycle.h"
#include "app/shell/quit_signals.h"
#include "app/shell/single_instance.h"
#include "app/shell/system_session_environment.h"
#include "app/studio/system_studio.h"
#include "app/updates/mac_updates.h"
#include "design/font_registry.h"
#include "platform/defaults/user_defaults.h"
#include "platform/dispatch/main_queue.h"
#include "platform/log/logger.h"
#include "platform/process/executable_path.h"
#include "platform/process/relaunch_watcher.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)
Q_IMPORT_QML_PLUGIN(QuilloryInterfacePlugin)
Q_IMPORT_QML_PLUGIN(QuilloryRecorderPlugin)

namespace {

using namespace quillory;

const Logger& qtLogger() {
    static const Logger instance("app.quillory", "qt");
    return instance;
}

void forwardQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    const QByteArray text = message.toUtf8();
    switch (type) {
        case QtDebugMsg:
            qtLogger().debug("%s", text.constData());
            break;
        case QtInfoMsg:
            qtLogger().info("%s", text.constData());
            break;
        case QtWarningMsg:
        case QtCriticalMsg:
            qtLogger().error("%s", text.constData());
            break;
        case QtFatalMsg:
            qtLogger().error("%s", text.constData());
            std::abort();
    }
}

// The session the application runs on, how it stops at quit, and whether the system is going down.
struct ApplicationSession {
    std::shared_ptr<SessionFacade> session;
    std::function<void(bool explicitQuit)> stop;
    std::function<bool()> systemShuttingDown;
};

ApplicationSession makeSession(QQmlEngine& recorderEngine) {
    MacSession::Environment environment = systemSessionEnvironment(&recorderEngine);
    environment.studio =
        SystemStudio::create(environment.desktop, environment.icons, environment.ownProcessID);
    std::shared_ptr<MacSession> session = MacSession::create(std::move(environment));
    const std::weak_ptr<MacSession> weak = session;
    return {session,
            [weak](bool explicitQuit) {
                if (auto alive = weak.lock()) {
                    alive->stop(explicitQuit);
                }
            },
            [weak] {
                const auto alive = weak.lock();
                return alive && alive->systemShuttingDown();
            }};
}

// The card windows' views, built by the engine from the interface module; each component lives
// as long as the engine. A view that cannot be built is logged and its identifier opens nothing.
void registerCardViews(QQmlEngine& engine, CardWindowManager& manager) {
    const std::pair<const char*, const char*> views[] = {
        {"pencil-test", "MacPencilTest.qml"},
        {"remembered-devices", "MacRememberedDevices.qml"},
        {"settings", "MacSettings.qml"},
        {"welcome", "MacWelcome.qml"},
    };
    for (const auto& [identifier, file] : views) {
        auto* component = new QQmlComponent(
            &engine,
            QUrl(QStringLiteral("qrc:/qt/qml/QuilloryInterface/qml/") + QLatin1String(file)),
            &engine);
        if (!component->isReady()) {
            qtLogger().error("The %s view cannot be built: %s", identifier,
                             qUtf8Printable(component->errorString()));
            continue;
        }
        manager.setView(QString::fromLatin1(identifier), component);
    }
}

// What must hold before the application object and any thread exist.
void prepareProcess() {
    // A malloc arena per thread costs megabytes across our thirty-odd mostly idle threads; the
    // per-thread caches keep the few busy ones off the arena locks.
    mallopt(M_ARENA_MAX, 2);
    // Before any thread exists, so that every thread inherits the mask and the signals wait for
    // the loop's signalfd.
    QuitSignals::blockQuitSignals();
    // The login item and the relaunch start this file: read its path before an update replaces it.
    executablePath();
    // Input injection and window placement need X11; a Wayland session runs us through XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    qInstallMessageHandler(forwardQtMessage);
    if (chooseSceneGraphBackend()) {
        qtLogger().info(
            "No graphics device: the windows are drawn by Qt Quick's software renderer");
    }
}

// The card windows' manager, made at launch with the views the engine builds.
auto cardWindowsMaker(QQmlEngine& engine, RootPropertyNotifier& desktop) {
    return [&engine, &desktop](SessionFacade& session, std::function<void()> finish) {
        CardWindowManager::Environment cards;
        cards.engine = &engine;
        cards.finish = std::move(finish);
        cards.compositing = [&desktop] { return desktop.compositing(); };
        auto manager = std::make_unique<CardWindowManager>(&session, std::move(cards));
        registerCardViews(engine, *manager);
        return manager;
    };
}

// The lifecycle starts the updater, learns of a pending relaunch and ends the loop through these.
void setUpdateHooks(MacAppLifecycle::Environment& environment, MacUpdates& updates) {
    environment.startUpdater = [&updates] { updates.startUpdater(); };
    environment.relaunching = [&updates] {
        return PermissionRelaunch::shared().requested() || updates.relaunching();
    };
    environment.endLoop = [&updates] {
        // An update downloaded in the background goes in now; it runs at the next start.
        updates.installOnQuit();
        QCoreApplication::exit(0);
    };
}

// A relaunch for a permission or an update, a quit signal, the end of the desktop session and a
// second launch reach the lifecycle.
void connectLifecycle(MacAppLifecycle& lifecycle, MacUpdates& updates, QuitSignals& quitSignals,
                      SingleInstance& instance) {
    PermissionRelaunch::shared().setQuitHook([&lifecycle] { lifecycle.quitForRelaunch(); });
    // The new tree is in place: the watcher starts the program from the path read at start-up
    // (by then /proc/self/exe names the old tree's new place), then this one quits.
    updates.setRelaunch([&lifecycle] {
        if (const auto started = startRelaunchWatcher(); !started) {
            qtLogger().error("The relaunch after the update could not start: %s",
                             started.error().c_str());
        }
        lifecycle.quitForRelaunch();
    });
    QObject::connect(&quitSignals, &QuitSignals::received, &lifecycle,
                     &MacAppLifecycle::quitOnSignal);
    // A session manager's save request ends nothing: it comes with checkpoints and with a log-out
    // the user may still cancel. Its "die" ends the loop; the session then stops as at any system
    // quit (a loop ended by quit() finds it done already).
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &lifecycle,
                     [&lifecycle] { lifecycle.quit(MacAppLifecycle::QuitRequest::system); });
    QObject::connect(&instance, &SingleInstance::reopenRequested, &lifecycle,
                     &MacAppLifecycle::reopen);
}

}  // namespace

int main(int argc, char** argv) {
    prepareProcess();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quillory"));
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setWindowIcon(applicationIcon());

    SingleInstance instance(SingleInstance::defaultSocketPath());
    if (instance.claim() == SingleInstance::Outcome::askedRunning) {
        return 0;
    }
    // Asked now, so that the answer is in before the listener advertises the name.
    ComputerNameCache::shared();

    QQuickStyle::setStyle(QStringLiteral("Basic"));
    FontRegistry::shared().family(QStringLiteral("Regular"));
    auto executor = std::make_shared<QtMainExecutor>();
    MainQueue::install(executor);

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent quickControls(
        &engine, QUrl(QStringLiteral("qrc:/qt/qml/QuilloryInterface/qml/MacQuickControls.qml")));
    if (!quickControls.isReady()) {
        qtLogger().error("The quick controls cannot be built: %s",
                         qUtf8Printable(quickControls.errorString()));
    }
    RootPropertyNotifier desktop(
        {QStringLiteral("_NET_CURRENT_DESKTOP"), QStringLiteral("_NET_ACTIVE_WINDOW")});
    const std::shared_ptr<UserDefaults> defaults = UserDefaults::standard();

    ApplicationSession made = makeSession(engine);
    // Before any window of ours takes focus, so that the guide knows which one to bring back.
    std::shared_ptr<PermissionGuide> guide;
    if (auto* shell = qobject_cast<MacShell*>(made.session->shell())) {
        guide = installPermissionGuide(*shell, &engine);
    }
    if (QApplication::arguments().contains(QStringLiteral("--test-events"))) {
        // Parented to the session, so it never outlives what it watches.
        new SessionEventPrinter(made.session.get(), stdout);
    }
    MacAppLifecycle::Environment environment;
    environment.session = std::move(made.session);
    environment.stopSession = made.stop;
    environment.systemShuttingDown = made.systemShuttingDown;
    environment.defaults = defaults;
    MacUpdates& updates = MacUpdates::shared();
    UpdateDialogWindow updateDialog(&engine, updates.dialog());
    setUpdateHooks(environment, updates);
    environment.makeCardWindows = cardWindowsMaker(engine, desktop);
    MacAppLifecycle* lifecycleHandle = nullptr;
    StatusItemBuilder statusItem({
        .engine = &engine,
        .content = quickControls.isReady() ? &quickControls : nullptr,
        .desktop = &desktop,
        .quit =
            [&lifecycleHandle] {
                if (lifecycleHandle) {
                    lifecycleHandle->quit(MacAppLifecycle::QuitRequest::user);
                }
            },
    });
    environment.makeStatusItem = [&statusItem](SessionFacade& session,
                                               std::function<void(QString)> openUtility) {
        return statusItem.make(session, std::move(openUtility));
    };

    MacAppLifecycle lifecycle(std::move(environment));
    lifecycleHandle = &lifecycle;
    QuitSignals quitSignals;
    connectLifecycle(lifecycle, updates, quitSignals, instance);

    lifecycle.launch();
    const int status = QApplication::exec();
    // The session has stopped inside quit(); nothing else runs once the loop has ended.
    statusItem.release();
    return status;
}
