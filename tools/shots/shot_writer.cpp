#include "tools/shots/shot_writer.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFont>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "design/appearance.h"
#include "design/appearance_source.h"

namespace quillory {

ShotWriter::ShotWriter(QDir directory) : directory_(std::move(directory)) {
    if (!directory_.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "Cannot create %s\n", qPrintable(directory_.path()));
        return;
    }
    // A fixed family, so that shots compare across machines.
    QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    // Out of the way of every window, so that it hovers nothing by itself.
    QCursor::setPos(0, 0);
    auto source = std::make_unique<FakeAppearanceSource>();
    source_ = source.get();
    Appearance::shared()->setSources(nullptr, std::move(source));
    engine_.addImportPath(QStringLiteral("qrc:/qt/qml"));
    ready_ = true;
}

void ShotWriter::setAppearance(const ShotAppearance& look, bool reduceMotion) {
    source_->setSettings({.dark = look.dark,
                          .highContrast = look.highContrast,
                          .reduceMotion = reduceMotion,
                          .reduceTransparency = false,
                          .textScale = 1.0});
}

QQuickWindow* ShotWriter::create(const QByteArray& qml) {
    QQmlComponent component(&engine_);
    component.setData(qml, QUrl(QStringLiteral("qrc:/shots.qml")));
    QObject* object = component.create();
    auto* window = qobject_cast<QQuickWindow*>(object);
    if (!window) {
        std::fprintf(stderr, "Cannot build the scene: %s\n", qPrintable(component.errorString()));
        delete object;
        return nullptr;
    }
    return window;
}

bool ShotWriter::save(QQuickWindow* window, const QString& base) {
    return save(window->grabWindow(), base);
}

bool ShotWriter::save(const QImage& image, const QString& base) {
    const QString path = directory_.filePath(base + QStringLiteral(".png"));
    if (!image.save(path)) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(path));
        return false;
    }
    ++written_;
    return true;
}

void settleShots(int milliseconds) {
    // A loop that sleeps between events: polling processEvents would keep a core busy for nothing.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void sendShotMouse(QQuickWindow* window, QEvent::Type type, QPointF position,
                   Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, position, window->mapToGlobal(position), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

}  // namespace quillory
