#include "app/desktop-control/recorder/recorder_panel.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QScreen>

#include "design/card_frame.h"
#include "platform/log/logger.h"

namespace quillory {

RecorderPanel::RecorderPanel(QQmlEngine* engine, QObject* model) {
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setTitle(QStringLiteral("Quillory"));
    if (!engine) {
        return;
    }
    QQmlComponent component(engine,
                            QUrl(QStringLiteral("qrc:/qt/qml/QuilloryRecorder/RecorderView.qml")));
    QObject* object = component.createWithInitialProperties(
        {{QStringLiteral("model"), QVariant::fromValue(model)}});
    card_ = qobject_cast<QQuickItem*>(object);
    if (!card_) {
        static const Logger logger("app.quillory.desktop-control", "recorder");
        logger.error("The recorder's card cannot be built: %s",
                     qUtf8Printable(component.errorString()));
        delete object;
        return;
    }
    card_->setParent(this);
    frame_ = new CardFrame(*this, *card_, cornerRadius, compositingManagerRuns);
}

void RecorderPanel::place() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize card = frame_ ? frame_->cardRect().size() : size();
        setPosition(
            CardFrame::windowPosition(QPoint(area.x() + (area.width() - card.width()) / 2,
                                             area.y() + (area.height() - card.height()) / 2)));
    }
}

void RecorderPanel::mousePressEvent(QMouseEvent* event) {
    // A click gives focus when the window manager refused it at start.
    if (!isActive()) {
        requestActivate();
    }
    QQuickWindow::mousePressEvent(event);
    if (!event->isAccepted() && event->button() == Qt::LeftButton && frame_ &&
        frame_->cardRect().contains(event->position().toPoint())) {
        startSystemMove();
    }
}

}  // namespace quillory
