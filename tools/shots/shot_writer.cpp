#include "tools/shots/shot_writer.h"

#include <QAbstractAnimation>
#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFont>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "design/appearance.h"
#include "design/appearance_source.h"

namespace quillory {

namespace {

// Animation time for shots: it moves only while a shot settles, in whole frames, so what a shot
// shows depends on the scene and never on how busy the machine is. Springs, fades and QML timers
// all run on this clock.
class ShotClock : public QAnimationDriver {
  public:
    static constexpr qint64 frameMs = 16;

    qint64 elapsed() const override { return now_; }

    void run(qint64 milliseconds) {
        waitUntilShown();
        for (qint64 end = now_ + milliseconds; now_ < end;) {
            now_ += frameMs;
            advance();
            renderFrame();
        }
    }

  private:
    static QList<QQuickWindow*> shownWindows() {
        QList<QQuickWindow*> shown;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            auto* quick = qobject_cast<QQuickWindow*>(window);
            if (quick && quick->isVisible()) {
                shown.append(quick);
            }
        }
        return shown;
    }

    // A window the server has not mapped yet would miss frames; the server, not a timer, says
    // when it is there.
    static void waitUntilShown() {
        const auto unexposed = [] {
            const QList<QQuickWindow*> shown = shownWindows();
            return std::any_of(shown.begin(), shown.end(),
                               [](const QQuickWindow* window) { return !window->isExposed(); });
        };
        while (unexposed()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }

    // Each step is drawn as on screen, so that layouts are polished and bindings that follow
    // the frame (and what reacts to them) see this step before the next one.
    static void renderFrame() {
        QList<QPointer<QQuickWindow>> waiting;
        std::vector<QMetaObject::Connection> connections;
        for (QQuickWindow* window : shownWindows()) {
            if (!window->isExposed()) {
                continue;
            }
            QPointer<QQuickWindow> guarded(window);
            waiting.append(guarded);
            connections.push_back(
                QObject::connect(window, &QQuickWindow::frameSwapped, window,
                                 [&waiting, guarded] { waiting.removeAll(guarded); }));
            window->update();
        }
        const auto pending = [&waiting] {
            return std::any_of(waiting.begin(), waiting.end(), [](const QPointer<QQuickWindow>& w) {
                return w && w->isVisible() && w->isExposed();
            });
        };
        while (pending()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        for (const QMetaObject::Connection& connection : connections) {
            QObject::disconnect(connection);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }

    qint64 now_ = 0;
};

ShotClock* shotClock = nullptr;

}  // namespace

ShotWriter::ShotWriter(QDir directory) : directory_(std::move(directory)) {
    if (!directory_.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "Cannot create %s\n", qPrintable(directory_.path()));
        return;
    }
    // The threaded loop drives animations from its own clock (and animators from the render
    // thread's); the GUI-thread loop leaves them to ours. Set before the first window exists.
    if (!qEnvironmentVariableIsSet("QSG_RENDER_LOOP")) {
        qputenv("QSG_RENDER_LOOP", "basic");
    }
    if (!shotClock) {
        shotClock = new ShotClock;
        shotClock->setParent(QCoreApplication::instance());
        shotClock->install();
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
    if (shotClock) {
        shotClock->run(milliseconds);
        return;
    }
    // Without a writer there is no shot clock: wall-clock time it is.
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
