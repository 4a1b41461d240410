#include "tools/ui-shots/shadow_scenes.h"

#include <QPainter>
#include <QQmlComponent>
#include <QQuickWindow>
#include <cstdio>
#include <memory>

#include "app/desktop-control/recorder/recorder_model.h"
#include "app/desktop-control/recorder/recorder_panel.h"
#include "app/interface/card_window_manager.h"
#include "app/interface/mac_status_item_controller.h"
#include "app/interface/testing/fake_tray_backend.h"
#include "app/permissions/guide_model.h"
#include "app/session/testing/fake_session.h"
#include "app/shell/guide_panel.h"
#include "tools/shots/shot_writer.h"

namespace quillory {

namespace {

// The window as the desktop shows it: over the backdrop, its shadow included.
bool saveOverBackdrop(ShotWriter& writer, QQuickWindow* window, const QString& base) {
    settleShots(300);
    const QImage grabbed = window->grabWindow();
    QImage shot(grabbed.size(), QImage::Format_ARGB32);
    shot.setDevicePixelRatio(grabbed.devicePixelRatio());
    shot.fill(shadowBackdrop);
    QPainter painter(&shot);
    painter.drawImage(QPointF(0, 0), grabbed);
    painter.end();
    return writer.save(shot, base);
}

bool cardWindow(ShotWriter& writer, const QString& identifier, const char* file,
                const QString& base) {
    FakeSession session;
    QQmlComponent view(&writer.engine(), QUrl(QStringLiteral("qrc:/qt/qml/QuilloryInterface/qml/") +
                                              QLatin1String(file)));
    CardWindowManager::Environment environment;
    environment.engine = &writer.engine();
    environment.compositing = [] { return true; };
    CardWindowManager cards(&session, std::move(environment));
    cards.setView(identifier, &view);
    cards.open(identifier);
    QQuickWindow* window = cards.window(identifier);
    if (!window) {
        std::fprintf(stderr, "The %s card cannot be built: %s\n", qPrintable(identifier),
                     qPrintable(view.errorString()));
        return false;
    }
    return saveOverBackdrop(writer, window, base);
}

}  // namespace

const QStringList& shadowScenes() {
    static const QStringList scenes = {
        QStringLiteral("shadow-settings"), QStringLiteral("shadow-devices"),
        QStringLiteral("shadow-guide"), QStringLiteral("shadow-recorder"),
        QStringLiteral("shadow-panel")};
    return scenes;
}

bool renderShadowScene(ShotWriter& writer, const QString& scene, const QString& base,
                       QQmlComponent* content) {
    if (scene == QLatin1String("shadow-settings")) {
        return cardWindow(writer, QStringLiteral("settings"), "MacSettings.qml", base);
    }
    if (scene == QLatin1String("shadow-devices")) {
        return cardWindow(writer, QStringLiteral("remembered-devices"), "MacRememberedDevices.qml",
                          base);
    }
    if (scene == QLatin1String("shadow-guide")) {
        GuideModel model;
        GuidePanel panel(&writer.engine(), model);
        panel.show();
        return panel.card() && saveOverBackdrop(writer, &panel, base);
    }
    if (scene == QLatin1String("shadow-recorder")) {
        RecorderModel model;
        model.setAppName(QStringLiteral("Krita"));
        RecorderPanel panel(&writer.engine(), &model);
        panel.show();
        return panel.card() && saveOverBackdrop(writer, &panel, base);
    }
    if (scene == QLatin1String("shadow-panel")) {
        FakeSession session;
        auto tray = std::make_unique<FakeTrayBackend>();
        tray->setGeometry(QRect(900, 2, 24, 24));
        StatusItemEnvironment environment;
        environment.tray = std::move(tray);
        environment.engine = &writer.engine();
        environment.content = content;
        environment.maskCorners = false;
        environment.closeOnFocusLoss = false;
        MacStatusItemController controller(&session, nullptr, std::move(environment));
        if (!controller.panel()) {
            return false;
        }
        controller.showPanel(MacStatusItemController::Opening::user);
        return saveOverBackdrop(writer, controller.panel(), base);
    }
    return false;
}

}  // namespace quillory
