#include "tools/ui-shots/ui_shots.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <cstdio>
#include <functional>

#include "app/desktop-control/recorder/recorder_core.h"
#include "app/desktop-control/recorder/recorder_model.h"
#include "app/interface/mac_status_item_controller.h"
#include "app/interface/permission_rows_model.h"
#include "app/interface/quick_controls_model.h"
#include "app/interface/testing/fake_tray_backend.h"
#include "app/session/testing/fake_session.h"
#include "app/session/update_dialog_model.h"
#include "design/menu_bar_mark.h"
#include "platform/clock/testing/fake_clock.h"
#include "tools/shots/shot_writer.h"
#include "tools/ui-shots/panel_scenes.h"

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

struct RecorderScene {
    const char* name;
    const char* appName;
    bool icon;
    RecorderState state;
};

const RecorderScene recorderScenes[] = {
    {"recorder-start", "Krita", true, {}},
    {"recorder-held",
     "Krita",
     true,
     {{DesktopKey::control, DesktopKey::shift},
      {DesktopKey::control, DesktopKey::shift},
      std::nullopt}},
    {"recorder-got-it",
     "Krita",
     true,
     {{}, {DesktopKey::command}, std::vector{DesktopKey::command, DesktopKey::s}}},
    {"recorder-no-icon", "Inkscape", false, {}},
    {"recorder-long-name",
     "A Very Long Application Name That Cannot Possibly Fit On One Line",
     true,
     {{DesktopKey::option}, {DesktopKey::option}, std::nullopt}},
};

// An application icon as a desktop would hand it over: an orange rounded square.
QImage sampleAppIcon() {
    QImage icon(104, 104, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 140, 0));
    painter.drawRoundedRect(QRectF(4, 4, 96, 96), 22, 22);
    return icon;
}

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
            } else if (const HeaderScene* header = findHeaderScene(scene)) {
                ok = cardHeader(base, *header);
            } else if (scene.startsWith(QLatin1String("update-"))) {
                ok = updateDialog(scene, base);
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

    static const HeaderScene* findHeaderScene(const QString& name) {
        for (const HeaderScene& scene : headerScenes()) {
            if (name == QLatin1String(scene.name)) {
                return &scene;
            }
        }
        return nullptr;
    }

    // Where the named items of a window sit, in window points, into a JSON file beside its image.
    void writePlacements(QQuickWindow* window, const QString& base) {
        QJsonObject where;
        const QStringList names = {
            "waitingCard",   "pairingCard",  "connectedCard",   "approvePairing", "switchTrack",
            "disconnect",    "waitingTitle", "pairingTitle",    "headerBand",     "headerTitle",
            "headerClose",   "permissions",  "updateBanner",    "signalWord",     "headerArt",
            "updatePrimary", "updateError",  "updateNotesText", "updateProgress"};
        QList<QQuickItem*> items;
        visualItems(window->contentItem(), items);
        for (QQuickItem* item : items) {
            const QString name = item->objectName();
            if (names.contains(name)) {
                if (!item->isVisible() || item->width() <= 0) {
                    continue;
                }
                const QRectF rect =
                    item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
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
        writePlacements(controller.panel(), base);
        return writer_.save(controller.panel(), base);
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
            model.setIcon(entry.icon ? sampleAppIcon() : QImage());
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
    for (const RecorderScene& scene : recorderScenes) {
        scenes.append(QString::fromLatin1(scene.name));
    }
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
