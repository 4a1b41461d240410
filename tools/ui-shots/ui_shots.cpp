#include "tools/ui-shots/ui_shots.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "app/desktop-control/recorder/recorder_core.h"
#include "app/desktop-control/recorder/recorder_model.h"
#include "app/interface/mac_status_item_controller.h"
#include "app/interface/onboarding_model.h"
#include "app/interface/pen_test_model.h"
#include "app/interface/permission_rows_model.h"
#include "app/interface/quick_controls_model.h"
#include "app/interface/settings_model.h"
#include "app/interface/testing/fake_tray_backend.h"
#include "app/permissions/guide_model.h"
#include "app/session/testing/fake_session.h"
#include "app/updates/update_dialog_model.h"
#include "design/app_icon_image.h"
#include "design/menu_bar_mark.h"
#include "platform/clock/testing/fake_clock.h"
#include "platform/defaults/testing/memory_user_defaults.h"
#include "tools/shots/shot_writer.h"
#include "tools/ui-shots/onboarding_scenes.h"
#include "tools/ui-shots/panel_scenes.h"
#include "tools/ui-shots/pen_test_scenes.h"
#include "tools/ui-shots/shadow_scenes.h"

namespace quillory {

namespace {

const QRect screenArea(0, 0, 1280, 800);

// The shortcut recorder's card, in the states its scenes name.
constexpr char recorderWindow[] = R"(
    import QtQuick
    import QuilloryRecorder
    Window {
        color: "transparent"
        flags: Qt.FramelessWindowHint
        width: card.width
        height: card.height
        visible: true
        RecorderView { id: card; model: recorderModel }
    })";

// The application icon a recorder scene shows: none, an orange rounded square with a thin clear
// margin, or an orange disc.
enum class SampleIcon { none, square, round };

struct RecorderScene {
    const char* name;
    const char* appName;
    SampleIcon icon;
    RecorderState state;
};

const RecorderScene recorderScenes[] = {
    {"recorder-start", "Krita", SampleIcon::square, {}},
    {"recorder-held",
     "Krita",
     SampleIcon::square,
     {{DesktopKey::control, DesktopKey::shift},
      {DesktopKey::control, DesktopKey::shift},
      std::nullopt}},
    {"recorder-got-it",
     "Krita",
     SampleIcon::square,
     {{}, {DesktopKey::command}, std::vector{DesktopKey::command, DesktopKey::s}}},
    {"recorder-no-icon", "Inkscape", SampleIcon::none, {}},
    {"recorder-round-icon", "Krita", SampleIcon::round, {}},
    {"recorder-long-name",
     "A Very Long Application Name That Cannot Possibly Fit On One Line",
     SampleIcon::square,
     {{DesktopKey::option}, {DesktopKey::option}, std::nullopt}},
};

// The remembered-devices card in the states its scenes name.
constexpr char devicesWindow[] = R"(
    import QtQuick
    import QuilloryInterface
    Window {
        color: "transparent"
        flags: Qt.FramelessWindowHint
        width: card.width
        height: Math.max(card.implicitHeight, 420)
        visible: true
        MacRememberedDevices { id: card; session: devicesSession }
    })";

struct DevicesScene {
    const char* name;
    int count;
    bool currentFirst;
    bool connected;
    bool failForget;    // a removal of the first device failed
    bool confirmFirst;  // the confirmation for the first device is open
};

const DevicesScene devicesScenes[] = {
    {"devices-empty", 0, false, false, false, false},
    {"devices-one", 1, false, false, false, false},
    {"devices-five", 5, false, false, false, false},
    {"devices-connected", 3, true, true, false, false},
    {"devices-reconnecting", 3, true, false, false, false},
    {"devices-failed-forget", 2, false, false, true, false},
    {"devices-confirm-current", 2, true, true, false, true},
    {"devices-confirm-other", 2, false, false, false, true},
};

// The settings card in the states its scenes name.
constexpr char settingsWindow[] = R"(
    import QtQuick
    import QuilloryInterface
    Window {
        color: "transparent"
        flags: Qt.FramelessWindowHint
        width: card.width
        height: card.implicitHeight
        visible: true
        MacSettings { id: card; session: settingsSession }
    })";

struct SettingsScene {
    const char* name;
    bool updates;
    const char* pending;
    const char* loginError;
    bool inputAccess;
    bool relaunch;
};

const SettingsScene settingsScenes[] = {
    {"settings-updates-off", false, "", "", true, false},
    {"settings-updates-pending", true, "0.2.0", "", true, false},
    {"settings-login-error", false, "", "Couldn’t add Quillory to your login items.", true, false},
    {"settings-no-input-access", false, "", "", false, false},
    {"settings-relaunch", false, "", "", true, true},
};

// The acknowledgements window over notices written for the scene.
constexpr char noticesWindow[] = R"(
    import QtQuick
    import QuilloryInterface
    MacNotices { visible: true; folder: noticesFolder })";

struct NoticesScene {
    const char* name;
    int entries;
};

const NoticesScene noticesScenes[] = {
    {"acknowledgements-none", 0},
    {"acknowledgements-one", 1},
    {"acknowledgements-many", 6},
};

// A licence notice as a Debian copyright file words one: a header, blank lines kept, long lines.
QByteArray sampleNotice(int index) {
    QByteArray text =
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
        "Upstream-Name: sample" +
        QByteArray::number(index) +
        "\n\nFiles: *\nCopyright: 2009-2023 The Sample Authors <authors@example.org>\n"
        "License: LGPL-2.1+\n";
    for (int line = 0; line < 4 + index * 3; ++line) {
        text +=
            " This library is free software; you can redistribute it and/or modify it under "
            "the terms of the GNU Lesser General Public License.\n .\n";
    }
    return text + "\n";
}

// An application icon as a desktop would hand it over: an orange rounded square.
QImage sampleAppIcon(SampleIcon kind) {
    if (kind == SampleIcon::none) {
        return {};
    }
    QImage icon(104, 104, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 140, 0));
    if (kind == SampleIcon::round) {
        painter.drawEllipse(QRectF(0, 0, 104, 104));
    } else {
        painter.drawRoundedRect(QRectF(4, 4, 96, 96), 22, 22);
    }
    return icon;
}

// The permission guide's card on its model, against a neutral desktop.
constexpr char guideWindow[] = R"(
    import QtQuick
    import QuilloryInterface
    Window {
        color: "#7d8590"
        width: card.width + 40
        height: card.height + 40
        visible: true
        GuideCard { id: card; x: 20; y: 20; model: guideModel }
    })";

struct GuideScene {
    const char* name;
    bool reduceMotion;
    void (*setUp)(GuideModel&);
};

const GuideScene guideScenes[] = {
    {"guide-waiting", false, [](GuideModel&) {}},
    {"guide-done", false, [](GuideModel& model) { model.setDone(); }},
    {"guide-manual", false,
     [](GuideModel& model) {
         model.setManual(
             QStringLiteral("sudo modprobe uinput\nsudo udevadm control --reload\n"
                            "sudo udevadm trigger --action=change "
                            "--subsystem-match=misc --sysname-match=uinput"));
     }},
    {"guide-relaunch", false,
     [](GuideModel& model) {
         model.setDone();
         model.setRelaunchOffered();
     }},
    {"guide-reduce-motion", true, [](GuideModel& model) { model.setDone(); }},
};

// The update dialog in the states its scenes name.
constexpr char updateWindow[] = R"(
    import QtQuick
    import QuilloryInterface
    Window {
        color: "transparent"
        flags: Qt.FramelessWindowHint
        width: card.width
        height: card.implicitHeight
        visible: true
        UpdateDialog { id: card; model: updateModel }
    })";

const char* const updateScenes[] = {"update-short",           "update-long",  "update-downloading",
                                    "update-not-installable", "update-error", "update-up-to-date"};

void setUpUpdateScene(UpdateDialogModel& model, const QString& scene) {
    UpdateItem item;
    item.version = QStringLiteral("0.2.0");
    item.notes = QStringLiteral("Pressure feels smoother on long strokes.");
    item.link = QUrl(QStringLiteral("https://example.org/download"));
    const QString running = QStringLiteral("0.1.0");
    if (scene == QLatin1String("update-long")) {
        QStringList lines;
        for (int i = 1; i <= 14; ++i) {
            lines << QStringLiteral(
                         "• Change %1: <b>markup stays text</b> and long lines wrap "
                         "inside the scrolled notes.")
                         .arg(i);
        }
        item.notes = lines.join(QLatin1Char('\n'));
    }
    if (scene == QLatin1String("update-up-to-date")) {
        model.showUpToDate(running);
        return;
    }
    model.showUpdate(item, running, scene != QLatin1String("update-not-installable"), false);
    if (scene == QLatin1String("update-downloading")) {
        model.showDownloading();
        model.setProgress(40, 100);
    } else if (scene == QLatin1String("update-error")) {
        model.showError(QStringLiteral("The update is not signed by Quillory's key"), false);
    }
}

struct TrayPanel {
    const char* name;
    QColor color;
};

// The items below `item` in the visual tree (the panel's content comes from a Loader, whose items
// are no QObject children).
void visualItems(QQuickItem* item, QList<QQuickItem*>& out) {
    out.append(item);
    for (QQuickItem* child : item->childItems()) {
        visualItems(child, out);
    }
}

QQuickItem* findItem(QQuickWindow* window, const QString& name) {
    QList<QQuickItem*> items;
    visualItems(window->contentItem(), items);
    for (QQuickItem* item : items) {
        if (item->objectName() == name) {
            return item;
        }
    }
    return nullptr;
}

template <typename T>
T* itemProperty(QQuickWindow* window, const QString& item, const char* property) {
    QQuickItem* found = findItem(window, item);
    return found ? qobject_cast<T*>(found->property(property).value<QObject*>()) : nullptr;
}

constexpr int trayMargin = 12;
constexpr int trayCell = 56;

class UiShots {
  public:
    explicit UiShots(ShotWriter& writer) : writer_(writer) {
        content_ = std::make_unique<QQmlComponent>(
            &writer_.engine(),
            QUrl(QStringLiteral("qrc:/qt/qml/QuilloryInterface/qml/MacQuickControls.qml")));
    }

    bool render(const QString& scene) {
        if (!content_->isReady()) {
            std::fprintf(stderr, "Cannot build the quick controls: %s\n",
                         qPrintable(content_->errorString()));
            return false;
        }
        for (const ShotAppearance& look : shotAppearances) {
            writer_.setAppearance(look, true);
            const QString base = QStringLiteral("%1-%2").arg(scene, QLatin1String(look.name));
            bool ok = false;
            if (scene == QLatin1String("tray")) {
                ok = tray(base);
            } else if (scene == QLatin1String("panel")) {
                ok = panel(base, true, nullptr);
            } else if (scene == QLatin1String("fallback")) {
                ok = panel(base, false, nullptr);
            } else if (const PanelScene* panelScene = findPanelScene(scene)) {
                ok = panel(base, true, panelScene);
            } else if (const GuideScene* guide = findGuideScene(scene)) {
                writer_.setAppearance(look, guide->reduceMotion);
                ok = guideCard(base, *guide);
            } else if (scene.startsWith(QLatin1String("update-"))) {
                ok = updateDialog(scene, base);
            } else if (scene == QLatin1String("app-icons")) {
                ok = appIcons(base);
            } else if (const HeaderScene* header = findHeaderScene(scene)) {
                ok = cardHeader(base, *header);
            } else if (scene.startsWith(QLatin1String("settings-"))) {
                ok = settings(scene, base);
            } else if (scene.startsWith(QLatin1String("devices-"))) {
                ok = devices(scene, base);
            } else if (scene.startsWith(QLatin1String("acknowledgements-"))) {
                ok = notices(scene, base);
            } else if (shadowScenes().contains(scene)) {
                ok = renderShadowScene(writer_, scene, base, content_.get());
            } else if (const PenTestScene* penTest = findPenTestScene(scene)) {
                ok = penTestWindow(base, *penTest);
            } else if (const OnboardingScene* welcome = findOnboardingScene(scene)) {
                writer_.setAppearance(look, welcome->reduceMotion);
                ok = welcomeWindow(base, *welcome);
            } else {
                ok = recorder(scene, base);
            }
            if (!ok) {
                return false;
            }
        }
        return true;
    }

  private:
    static const PanelScene* findPanelScene(const QString& name) {
        for (const PanelScene& scene : panelScenes()) {
            if (name == QLatin1String(scene.name)) {
                return &scene;
            }
        }
        return nullptr;
    }

    static const GuideScene* findGuideScene(const QString& name) {
        for (const GuideScene& scene : guideScenes) {
            if (name == QLatin1String(scene.name)) {
                return &scene;
            }
        }
        return nullptr;
    }

    bool guideCard(const QString& base, const GuideScene& scene) {
        GuideModel model;
        scene.setUp(model);
        writer_.engine().rootContext()->setContextProperty(QStringLiteral("guideModel"), &model);
        std::unique_ptr<QQuickWindow> window(writer_.create(guideWindow));
        if (!window) {
            return false;
        }
        settleShots(1200);
        writePlacements(window.get(), base);
        return writer_.save(window.get(), base);
    }

    // Every size of the application icon over a light and a dark strip, as the hicolor theme
    // gets them; the small sizes from their simplified drawing.
    bool appIcons(const QString& base) {
        const std::vector<int>& sizes = appIconSizes();
        constexpr int gap = 12;
        int width = gap;
        for (const int size : sizes) {
            width += size + gap;
        }
        constexpr int strip = 256 + 2 * gap;
        QImage sheet(width, 2 * strip, QImage::Format_ARGB32);
        QPainter painter(&sheet);
        painter.setRenderHint(QPainter::Antialiasing);
        QJsonObject where;
        const QColor backgrounds[] = {QColor(0xf2, 0xf2, 0xf2), QColor(0x1e, 0x1f, 0x22)};
        for (int b = 0; b < 2; ++b) {
            painter.fillRect(QRect(0, b * strip, width, strip), backgrounds[b]);
            int x = gap;
            for (const int size : sizes) {
                const QRect at(x, b * strip + gap, size, size);
                painter.drawImage(at.topLeft(), renderAppIcon(appIconResource(size), size));
                where.insert(QStringLiteral("%1-%2").arg(size).arg(b == 0 ? "light" : "dark"),
                             QJsonObject{{"x", at.x()}, {"y", at.y()}, {"size", size}});
                x += size + gap;
            }
        }
        painter.end();
        QFile file(writer_.directory().filePath(base + QStringLiteral(".json")));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(QJsonDocument(where).toJson());
        }
        return writer_.save(sheet, base);
    }

    static const HeaderScene* findHeaderScene(const QString& name) {
        for (const HeaderScene& scene : headerScenes()) {
            if (name == QLatin1String(scene.name)) {
                return &scene;
            }
        }
        return nullptr;
    }

    static const PenTestScene* findPenTestScene(const QString& name) {
        for (const PenTestScene& scene : penTestScenes()) {
            if (name == QLatin1String(scene.name)) {
                return &scene;
            }
        }
        return nullptr;
    }

    static const OnboardingScene* findOnboardingScene(const QString& name) {
        for (const OnboardingScene& scene : onboardingScenes()) {
            if (name == QLatin1String(scene.name)) {
                return &scene;
            }
        }
        return nullptr;
    }

    // Where the named items of a window sit, in window points, into a JSON file beside its image.
    void writePlacements(QQuickWindow* window, const QString& base, QPointF origin = {}) {
        QJsonObject where;
        const QStringList names = {"waitingCard",     "pairingCard",      "connectedCard",
                                   "approvePairing",  "switchTrack",      "disconnect",
                                   "waitingTitle",    "pairingTitle",     "headerBand",
                                   "headerTitle",     "headerClose",      "permissions",
                                   "updateBanner",    "signalWord",       "headerArt",
                                   "guideCard",       "guideSuccessTile", "guideAppIcon",
                                   "guideTitle",      "guideHelp",        "guideCommands",
                                   "guideRelaunch",   "guideClose",       "canvasBox",
                                   "pressureBar",     "pressureLevel",    "hint",
                                   "returnToDesktop", "updatePrimary",    "updateError",
                                   "updateNotesText", "updateProgress",   "sectionCard",
                                   "allowedBadge",    "updatePill",       "loginError",
                                   "removalError",    "forgetButton",     "noticeList",
                                   "noticeText",      "noticesDone",      "emptyCard",
                                   "deviceCard"};
        QList<QQuickItem*> items;
        visualItems(window->contentItem(), items);
        for (QQuickItem* item : items) {
            const QString name = item->objectName();
            if (names.contains(name) || onboardingPlacementNames().contains(name)) {
                if (!item->isVisible() || item->width() <= 0) {
                    continue;
                }
                const QRectF rect =
                    item->mapRectToScene(QRectF(0, 0, item->width(), item->height()))
                        .translated(-origin);
                where.insert(name, QJsonObject{{"x", rect.x()},
                                               {"y", rect.y()},
                                               {"width", rect.width()},
                                               {"height", rect.height()},
                                               {"opacity", item->opacity()}});
            }
        }
        QFile file(writer_.directory().filePath(base + QStringLiteral(".json")));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(QJsonDocument(where).toJson());
        }
    }

    // The four states at 1× and 2× on a light and a dark tray; where each image sits goes into
    // a JSON file beside it, for the probes.
    bool tray(const QString& base) {
        const TrayPanel panels[] = {{"light", QColor(0xe8, 0xe8, 0xe8)},
                                    {"dark", QColor(0x20, 0x21, 0x24)}};
        constexpr int stripHeight = trayMargin * 3 + 18 + 36;
        QImage sheet(trayMargin + 4 * trayCell, 2 * stripHeight, QImage::Format_ARGB32);
        QPainter painter(&sheet);
        QJsonObject where;
        for (int p = 0; p < 2; ++p) {
            const int top = p * stripHeight;
            painter.fillRect(QRect(0, top, sheet.width(), stripHeight), panels[p].color);
            for (MenuBarMark::State state : MenuBarMark::allStates) {
                const int i = static_cast<int>(state);
                for (int scale : {1, 2}) {
                    QImage image = MenuBarMark::trayImage(state, scale);
                    image.setDevicePixelRatio(1);
                    const QPoint at(trayMargin + i * trayCell,
                                    top + trayMargin + (scale == 1 ? 0 : 18 + trayMargin));
                    painter.drawImage(at, image);
                    where.insert(QStringLiteral("%1-%2x-%3").arg(i).arg(scale).arg(panels[p].name),
                                 QJsonObject{{"x", at.x()}, {"y", at.y()}});
                }
            }
        }
        painter.end();
        QFile file(writer_.directory().filePath(base + QStringLiteral(".json")));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(QJsonDocument(where).toJson());
        }
        return writer_.save(sheet, base);
    }

    bool panel(const QString& base, bool withTray, const PanelScene* scene) {
        FakeSession session;
        auto clock = std::make_shared<FakeClock>();
        auto tray = std::make_unique<FakeTrayBackend>();
        tray->setAvailable(withTray);
        tray->setGeometry(QRect(900, 2, 24, 24));
        StatusItemEnvironment environment;
        environment.tray = std::move(tray);
        environment.engine = &writer_.engine();
        environment.content = content_.get();
        environment.availableAt = [](QPoint) { return screenArea; };
        environment.closeOnFocusLoss = false;
        MacStatusItemController controller(&session, nullptr, std::move(environment));
        if (!controller.panel()) {
            return false;
        }
        auto* controls = itemProperty<QuickControlsModel>(controller.panel(),
                                                          QStringLiteral("quickControls"), "model");
        auto* rows = itemProperty<PermissionRowsModel>(controller.panel(),
                                                       QStringLiteral("permissions"), "rows");
        if (!controls || !rows) {
            std::fprintf(stderr, "The panel holds no quick controls\n");
            return false;
        }
        PanelSceneState state{session, *clock};
        controls->setClock(clock);
        controls->setComputerName(QStringLiteral("Studio Desk"));
        controls->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        if (scene) {
            scene->setUp(state);
        }
        controls->setProbes(
            {[&state] { return state.inputAccess; }, [&state] { return state.screenCapture; }});
        rows->setProbes(
            {[&state] { return state.inputAccess; }, [&state] { return state.screenCapture; }});
        if (withTray) {
            controller.showPanel(state.codeOpening ? MacStatusItemController::Opening::code
                                                   : MacStatusItemController::Opening::user);
        } else {
            controller.recheckTray();
        }
        settleShots(300);
        // The surface alone: its shadow has scenes of its own.
        QQuickItem* surface = findItem(controller.panel(), QStringLiteral("statusPanelSurface"));
        const QPointF origin = surface ? surface->position() : QPointF();
        // The grab lays out what the last step changed; the placements must be of that layout.
        const QImage grabbed = controller.panel()->grabWindow();
        writePlacements(controller.panel(), base, origin);
        const qreal scale = grabbed.devicePixelRatio();
        QImage shot =
            surface ? grabbed.copy(QRectF(origin * scale, surface->size() * scale).toAlignedRect())
                    : grabbed;
        shot.setDevicePixelRatio(scale);
        return writer_.save(shot, base);
    }

    bool cardHeader(const QString& base, const HeaderScene& scene) {
        const QByteArray qml = QStringLiteral(R"(
            import QtQuick
            import QuilloryDesign
            import QuilloryInterface
            Window {
                width: 500
                height: %1 + 90
                color: "transparent"
                CardWindowBody {
                    width: 500
                    height: parent.height
                    QuilloryCardHeader {
                        width: 500
                        height: %1
                        art: "%2"
                        title: %1 < 100 ? "Pen test" : "Remembered devices"
                        subtitle: "Tablets that connect without a new code."
                    }
                }
            })")
                                   .arg(scene.height)
                                   .arg(QLatin1String(scene.art))
                                   .toUtf8();
        QQuickWindow* window = writer_.create(qml);
        if (!window) {
            return false;
        }
        window->show();
        settleShots(200);
        writePlacements(window, base);
        const bool saved = writer_.save(window, base);
        delete window;
        return saved;
    }

    bool penTestWindow(const QString& base, const PenTestScene& scene) {
        FakeSession session;
        session.setMainDisplayPixelSize(scene.mainDisplay);
        session.publishConnected(scene.connected);
        FakeInput* input = session.fakeInput();
        const auto& strokes = penTestStrokes();
        if (scene.strokes) {
            input->setSamples(strokes);
        }
        if (scene.pressure >= 0) {
            PenSample pointer = strokes[strokes.size() / 3];
            pointer.pressure = scene.pressure;
            input->setPointer(pointer);
            input->setPressure(scene.pressure);
        }
        writer_.engine().rootContext()->setContextProperty(QStringLiteral("shotSession"), &session);
        std::unique_ptr<QQuickWindow> window(writer_.create(R"(
            import QtQuick
            import QuilloryInterface
            Window {
                width: view.implicitWidth
                height: view.implicitHeight
                color: "transparent"
                MacPencilTest {
                    id: view

                    width: implicitWidth
                    height: implicitHeight
                    session: shotSession
                }
            })"));
        if (!window) {
            return false;
        }
        auto* model = window->findChild<PenTestModel*>(QStringLiteral("penTestModel"));
        if (!model) {
            std::fprintf(stderr, "The pen test has no model\n");
            return false;
        }
        model->setAvailable(scene.available);
        model->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        model->setGrid(scene.grid);
        window->show();
        settleShots(300);
        writePlacements(window.get(), base);
        const bool saved = writer_.save(window.get(), base);
        writer_.engine().rootContext()->setContextProperty(QStringLiteral("shotSession"), nullptr);
        return saved;
    }

    bool welcomeWindow(const QString& base, const OnboardingScene& scene) {
        FakeSession session;
        session.publishPeerName(QStringLiteral("Studio iPad"));
        session.publishConnected(scene.connected);
        FakeUpdates* updates = session.fakeShell()->fakeUpdates();
        updates->publishAvailable(scene.updates);
        updates->setAutomaticChecks(false);
        writer_.engine().rootContext()->setContextProperty(QStringLiteral("shotSession"), &session);
        std::unique_ptr<QQuickWindow> window(writer_.create(R"(
            import QtQuick
            import QuilloryInterface
            Window {
                width: view.implicitWidth
                height: view.implicitHeight
                color: "transparent"
                flags: Qt.FramelessWindowHint
                MacWelcome { id: view; session: shotSession }
            })"));
        if (!window) {
            return false;
        }
        auto* view = window->findChild<QQuickItem*>(QStringLiteral("welcome"));
        auto* model = view ? view->property("onboarding").value<OnboardingModel*>() : nullptr;
        if (!model) {
            std::fprintf(stderr, "The welcome window has no model\n");
            return false;
        }
        OnboardingModel::Environment environment;
        environment.defaults = std::make_shared<MemoryUserDefaults>();
        const bool accessibility = scene.accessibility;
        const bool screenRecording = scene.screenRecording;
        environment.probes = {[accessibility] { return accessibility; },
                              [screenRecording] { return screenRecording; }};
        model->setEnvironment(std::move(environment));
        model->setComputerName(QStringLiteral("Studio Desk"));
        for (int i = 0; i < scene.step; ++i) {
            model->advance();
        }
        window->show();
        settleShots(1500);
        writePlacements(window.get(), base);
        const bool saved = writer_.save(window.get(), base);
        window.reset();
        writer_.engine().rootContext()->setContextProperty(QStringLiteral("shotSession"), nullptr);
        return saved;
    }

    bool updateDialog(const QString& scene, const QString& base) {
        UpdateDialogModel model;
        setUpUpdateScene(model, scene);
        writer_.engine().rootContext()->setContextProperty(QStringLiteral("updateModel"), &model);
        std::unique_ptr<QQuickWindow> window(writer_.create(updateWindow));
        if (!window) {
            return false;
        }
        settleShots(200);
        writePlacements(window.get(), base);
        return writer_.save(window.get(), base);
    }

    bool recorder(const QString& scene, const QString& base) {
        for (const RecorderScene& entry : recorderScenes) {
            if (scene != QLatin1String(entry.name)) {
                continue;
            }
            RecorderModel model;
            model.setAppName(QString::fromUtf8(entry.appName));
            model.setIcon(sampleAppIcon(entry.icon));
            model.setState(entry.state);
            writer_.engine().rootContext()->setContextProperty(QStringLiteral("recorderModel"),
                                                               &model);
            std::unique_ptr<QQuickWindow> window(writer_.create(recorderWindow));
            if (!window) {
                return false;
            }
            settleShots(200);
            return writer_.save(window.get(), base);
        }
        return false;
    }

    bool settings(const QString& scene, const QString& base) {
        for (const SettingsScene& entry : settingsScenes) {
            if (scene != QLatin1String(entry.name)) {
                continue;
            }
            FakeSession session;
            FakeUpdates* updates = session.fakeShell()->fakeUpdates();
            updates->publishAvailable(entry.updates);
            updates->publishCanCheck(true);
            updates->setAutomaticChecks(entry.updates);
            updates->publishPendingVersion(QString::fromUtf8(entry.pending));
            session.fakeShell()->setScreenCaptureAllowedAtLaunch(!entry.relaunch);
            if (*entry.loginError) {
                session.fakeShell()->fakeLoginItem()->failWith(QString::fromUtf8(entry.loginError));
                session.fakeShell()->fakeLoginItem()->setEnabled(true);
            }
            writer_.engine().rootContext()->setContextProperty(QStringLiteral("settingsSession"),
                                                               &session);
            std::unique_ptr<QQuickWindow> window(writer_.create(settingsWindow));
            if (!window) {
                return false;
            }
            auto* card = window->findChild<QQuickItem*>(QStringLiteral("settings"));
            auto* model = card ? card->property("settings").value<SettingsModel*>() : nullptr;
            if (!model) {
                std::fprintf(stderr, "The settings card has no model\n");
                return false;
            }
            const bool access = entry.inputAccess;
            model->permissions()->setProbes({[access] { return access; }, [] { return true; }});
            settleShots(200);
            writePlacements(window.get(), base);
            const bool saved = writer_.save(window.get(), base);
            window.reset();
            return saved;
        }
        return false;
    }

    bool devices(const QString& scene, const QString& base) {
        for (const DevicesScene& entry : devicesScenes) {
            if (scene != QLatin1String(entry.name)) {
                continue;
            }
            FakeSession session;
            QList<SavedDevice> list;
            const char* names[] = {
                "Drawing iPad",
                "Studio iPad Pro with a name long enough to wrap onto a second line",
                "Kitchen iPad", "Travel iPad", "Old iPad"};
            for (int i = 0; i < entry.count; ++i) {
                list.append({QStringLiteral("key%1").arg(i), QString::fromUtf8(names[i])});
            }
            session.publishSavedDevices(list);
            session.setCurrentDevice(entry.currentFirst ? QStringLiteral("key0") : QString());
            session.publishConnected(entry.connected);
            session.answerForget(!entry.failForget);
            writer_.engine().rootContext()->setContextProperty(QStringLiteral("devicesSession"),
                                                               &session);
            std::unique_ptr<QQuickWindow> window(writer_.create(devicesWindow));
            if (!window) {
                return false;
            }
            auto* card = window->findChild<QQuickItem*>(QStringLiteral("rememberedDevices"));
            auto* model = card ? card->property("devices").value<QObject*>() : nullptr;
            if (!model) {
                std::fprintf(stderr, "The remembered devices card has no model\n");
                return false;
            }
            if (entry.failForget || entry.confirmFirst) {
                QMetaObject::invokeMethod(model, "requestForget",
                                          Q_ARG(QString, QStringLiteral("key0")));
            }
            if (entry.failForget) {
                QMetaObject::invokeMethod(model, "confirmForget");
            }
            if (entry.count == 5) {
                if (auto* list5 = window->contentItem()->findChild<QQuickItem*>(
                        QStringLiteral("deviceList"))) {
                    list5->setProperty("contentY", 120);
                }
            }
            settleShots(200);
            writePlacements(window.get(), base);
            const bool saved = writer_.save(window.get(), base);
            window.reset();
            return saved;
        }
        return false;
    }

    bool notices(const QString& scene, const QString& base) {
        for (const NoticesScene& entry : noticesScenes) {
            if (scene != QLatin1String(entry.name)) {
                continue;
            }
            QTemporaryDir folder;
            const char* titles[] = {"libavcodec59", "libgcc-s1, libstdc++6",
                                    "libqt6core6",  "Barlow",
                                    "Phosphor",     "zlib1g"};
            QByteArray manifest;
            for (int i = 0; i < entry.entries; ++i) {
                const QString file = QStringLiteral("notice-%1").arg(i);
                manifest += QByteArray(titles[i]) + '\t' + file.toUtf8() + '\n';
                QFile text(folder.filePath(file));
                if (!text.open(QIODevice::WriteOnly)) {
                    return false;
                }
                text.write(sampleNotice(i));
            }
            QFile index(folder.filePath(QStringLiteral("manifest")));
            if (!index.open(QIODevice::WriteOnly)) {
                return false;
            }
            index.write(manifest);
            index.close();
            writer_.engine().rootContext()->setContextProperty(QStringLiteral("noticesFolder"),
                                                               folder.path());
            std::unique_ptr<QQuickWindow> window(writer_.create(noticesWindow));
            if (!window) {
                return false;
            }
            settleShots(200);
            writePlacements(window.get(), base);
            return writer_.save(window.get(), base);
        }
        return false;
    }

    ShotWriter& writer_;
    std::unique_ptr<QQmlComponent> content_;
};

}  // namespace

QStringList uiShotScenes() {
    QStringList scenes = {QStringLiteral("tray"), QStringLiteral("panel"),
                          QStringLiteral("fallback")};
    for (const PanelScene& scene : panelScenes()) {
        scenes << QLatin1String(scene.name);
    }
    for (const HeaderScene& scene : headerScenes()) {
        scenes << QLatin1String(scene.name);
    }
    for (const PenTestScene& scene : penTestScenes()) {
        scenes << QLatin1String(scene.name);
    }
    for (const RecorderScene& scene : recorderScenes) {
        scenes.append(QString::fromLatin1(scene.name));
    }
    for (const OnboardingScene& scene : onboardingScenes()) {
        scenes.append(QString::fromLatin1(scene.name));
    }
    for (const SettingsScene& scene : settingsScenes) {
        scenes.append(QString::fromLatin1(scene.name));
    }
    for (const DevicesScene& scene : devicesScenes) {
        scenes.append(QString::fromLatin1(scene.name));
    }
    for (const NoticesScene& scene : noticesScenes) {
        scenes.append(QString::fromLatin1(scene.name));
    }
    for (const GuideScene& scene : guideScenes) {
        scenes.append(QString::fromLatin1(scene.name));
    }
    scenes.append(QStringLiteral("app-icons"));
    scenes.append(shadowScenes());
    for (const char* scene : updateScenes) {
        scenes.append(QString::fromLatin1(scene));
    }
    return scenes;
}

int writeUiShots(const QString& directory, const QStringList& scenes) {
    const QStringList wanted = scenes.isEmpty() ? uiShotScenes() : scenes;
    for (const QString& scene : wanted) {
        if (!uiShotScenes().contains(scene)) {
            std::fprintf(stderr, "Unknown scene %s; the scenes are: %s\n", qPrintable(scene),
                         qPrintable(uiShotScenes().join(QStringLiteral(", "))));
            return -1;
        }
    }
    ShotWriter writer{QDir(directory)};
    if (!writer.ready()) {
        return -1;
    }
    UiShots shots(writer);
    for (const QString& scene : wanted) {
        if (!shots.render(scene)) {
            return -1;
        }
    }
    return writer.written();
}

}  // namespace quillory
