#include "design/card_frame.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QRegion>
#include <cstdlib>
#include <memory>
#include <vector>

#include "design/panel_rect.h"

namespace quillory {

namespace {

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Where the window takes pointer input; the bounding shape (what shows) is left to Qt's mask.
// An empty region gives the window its whole input back.
void setInputShape(QWindow& window, const QRegion& region) {
    xcb_connection_t* connection = x11Connection();
    if (!connection) {
        return;
    }
    if (region.isEmpty()) {
        xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                       static_cast<xcb_window_t>(window.winId()), 0, 0, XCB_NONE);
        xcb_flush(connection);
        return;
    }
    const qreal scale = window.devicePixelRatio();
    std::vector<xcb_rectangle_t> rectangles;
    for (const QRect& rect : region) {
        const QRect pixels(
            QPoint(qFloor(rect.x() * scale), qFloor(rect.y() * scale)),
            QPoint(qCeil((rect.right() + 1) * scale) - 1, qCeil((rect.bottom() + 1) * scale) - 1));
        rectangles.push_back({static_cast<int16_t>(pixels.x()), static_cast<int16_t>(pixels.y()),
                              static_cast<uint16_t>(pixels.width()),
                              static_cast<uint16_t>(pixels.height())});
    }
    xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                         XCB_CLIP_ORDERING_UNSORTED, static_cast<xcb_window_t>(window.winId()), 0,
                         0, static_cast<uint32_t>(rectangles.size()), rectangles.data());
    xcb_flush(connection);
}

}  // namespace

CardFrame::CardFrame(QQuickWindow& window, QQuickItem& card, qreal radius,
                     std::function<bool()> compositing)
    : QObject(&window),
      window_(&window),
      card_(&card),
      shadow_(new WindowShadow(window.contentItem())),
      radius_(radius),
      compositing_(std::move(compositing)) {
    window.setColor(Qt::transparent);
    shadow_->setObjectName(QStringLiteral("windowShadow"));
    shadow_->setZ(-2);
    shadow_->setShapeRadius(radius);
    card.setParentItem(window.contentItem());
    card.setPosition(QPointF(margin, margin));
    connect(&card, &QQuickItem::widthChanged, this, &CardFrame::fit);
    connect(&card, &QQuickItem::heightChanged, this, &CardFrame::fit);
    connect(&window, &QWindow::visibleChanged, this,
            [this](bool visible) { shownWithShape_ = shownWithShape_ && visible; });
    window.installEventFilter(this);
    fit();
}

bool CardFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && window_ && watched == window_ && !shownWithShape_ &&
        window_->isExposed()) {
        shownWithShape_ = true;
        applyShape();
    }
    return QObject::eventFilter(watched, event);
}

CardFrame::~CardFrame() {
    delete shadow_.data();
    if (card_) {
        disconnect(card_, nullptr, this, nullptr);
        card_->setPosition(QPointF(0, 0));
    }
    if (window_) {
        window_->removeEventFilter(this);
        window_->setMask(QRegion());
        if (window_->handle()) {
            setInputShape(*window_, QRegion());
        }
    }
}

QRect CardFrame::cardRect() const {
    const QSize size = card_ ? QSize(qCeil(card_->width()), qCeil(card_->height())) : QSize();
    return {QPoint(margin, margin), size};
}

void CardFrame::setRadius(qreal radius) {
    radius_ = radius;
    shadow_->setShapeRadius(radius);
    fit();
}

void CardFrame::fit() {
    if (!window_) {
        return;
    }
    const QRect card = cardRect();
    const QSize size = card.size() + QSize(2 * margin, 2 * margin);
    window_->resize(size);
    shadow_->setSize(size);
    applyShape();
}

void CardFrame::applyShape() {
    const bool compositing = compositing_ && compositing_();
    const QRegion shape = roundedRegion(cardRect(), qRound(radius_));
    window_->setMask(compositing ? QRegion() : shape);
    setInputShape(*window_, shape);
}

bool compositingManagerRuns() {
    xcb_connection_t* connection = x11Connection();
    if (!connection) {
        return true;
    }
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
