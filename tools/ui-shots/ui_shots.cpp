#include "tools/ui-shots/ui_shots.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickWindow>
#include <cstdio>
#include <functional>

#include "app/interface/mac_status_item_controller.h"
#include "app/interface/testing/fake_tray_backend.h"
#include "app/session/testing/fake_session.h"
#include "design/menu_bar_mark.h"
#include "tools/shots/shot_writer.h"

namespace quillory {

namespace {

const QRect screenArea(0, 0, 1280, 800);

// What the quick controls will show, until they exist: a title, the status and the symbols.
constexpr char standInContent[] = R"(
    import QtQuick
    import QuilloryDesign
    Column {
        objectName: "standIn"
        padding: 22
        spacing: 14
        DText { text: "Quillory"; font.pixelSize: 26 }
        DText { text: session.status; color: Design.colors.secondaryText }
        Row {
            spacing: 6
            Repeater {
                model: ["xmark", "power", "arrow.triangle.2.circlepath", "arrow.down",
                        "hand.point.up.left.fill", "rectangle.on.rectangle",
                        "checkmark.circle.fill", "checkmark", "circle.grid.3x3.fill",
                        "circle.grid.3x3", "eraser"]
                IconImage {
                    width: 20
                    height: 20
                    symbol: modelData
                    color: Design.colors.primaryText
                }
            }
        }
        Rectangle {
            width: 296
            height: 120
            radius: 16
            color: Design.colors.surface
        }
    })";

struct TrayPanel {
    const char* name;
    QColor color;
};

constexpr int trayMargin = 12;
constexpr int trayCell = 56;

class UiShots {
  public:
    explicit UiShots(ShotWriter& writer) : writer_(writer) {
        writer_.engine().rootContext()->setContextProperty(QStringLiteral("session"), &session_);
        session_.setStatus(QStringLiteral("Waiting for your iPad"));
        content_ = std::make_unique<QQmlComponent>(&writer_.engine());
        content_->setData(standInContent, QUrl(QStringLiteral("qrc:/ui-shots-stand-in.qml")));
    }

    bool render(const QString& scene) {
        if (!content_->isReady()) {
            std::fprintf(stderr, "Cannot build the stand-in: %s\n",
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
                ok = panel(base, true);
            } else if (scene == QLatin1String("fallback")) {
                ok = panel(base, false);
            }
            if (!ok) {
                return false;
            }
        }
        return true;
    }

  private:
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

    bool panel(const QString& base, bool withTray) {
        auto tray = std::make_unique<FakeTrayBackend>();
        tray->setAvailable(withTray);
        tray->setGeometry(QRect(900, 2, 24, 24));
        StatusItemEnvironment environment;
        environment.tray = std::move(tray);
        environment.engine = &writer_.engine();
        environment.content = content_.get();
        environment.availableAt = [](QPoint) { return screenArea; };
        MacStatusItemController controller(&session_, nullptr, std::move(environment));
        if (!controller.panel()) {
            return false;
        }
        if (withTray) {
            controller.showPanel(MacStatusItemController::Opening::user);
        } else {
            controller.recheckTray();
        }
        settleShots(300);
        return writer_.save(controller.panel(), base);
    }

    ShotWriter& writer_;
    FakeSession session_;
    std::unique_ptr<QQmlComponent> content_;
};

}  // namespace

QStringList uiShotScenes() {
    return {QStringLiteral("tray"), QStringLiteral("panel"), QStringLiteral("fallback")};
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
