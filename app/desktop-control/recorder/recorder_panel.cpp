#include "app/desktop-control/recorder/recorder_panel.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainterPath>
#include <QQuickItem>
#include <QRegion>
#include <QScreen>
#include <memory>

namespace quillory {

RecorderPanel::RecorderPanel(QQmlEngine* engine, QWindow* parent) : QQuickView(engine, parent) {
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setColor(Qt::transparent);
    setResizeMode(QQuickView::SizeViewToRootObject);
    setTitle(QStringLiteral("Quillory"));
}

void RecorderPanel::place() {
    const int height = rootObject() ? static_cast<int>(rootObject()->height()) : 0;
    resize(cardWidth, height);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        setPosition(area.x() + (area.width() - cardWidth) / 2,
                    area.y() + (area.height() - height) / 2);
    }
}

void RecorderPanel::shapeToCard() {
    if (compositingManagerRuns()) {
        setMask(QRegion());
        return;
    }
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, width(), height()), cornerRadius, cornerRadius);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void RecorderPanel::mousePressEvent(QMouseEvent* event) {
    // A click gives focus when the window manager refused it at start.
    if (!isActive()) {
        requestActivate();
    }
    QQuickView::mousePressEvent(event);
    if (!event->isAccepted() && event->button() == Qt::LeftButton) {
        startSystemMove();
    }
}

bool compositingManagerRuns() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) {
        return true;
    }
    xcb_connection_t* connection = x11->connection();
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(0);
    const auto atomCookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.constData());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> atom(
        xcb_intern_atom_reply(connection, atomCookie, nullptr), &free);
    if (!atom) {
        return true;
    }
    const auto ownerCookie = xcb_get_selection_owner(connection, atom->atom);
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&free)> owner(
        xcb_get_selection_owner_reply(connection, ownerCookie, nullptr), &free);
    return owner && owner->owner != XCB_NONE;
}

}  // namespace quillory
