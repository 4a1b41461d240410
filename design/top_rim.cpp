#include "design/top_rim.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <algorithm>

namespace quillory {

TopRim::TopRim(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    connect(this, &TopRim::changed, this, [this] { update(); });
}

void TopRim::setRadius(qreal radius) {
    if (radius != radius_) {
        radius_ = radius;
        emit changed();
    }
}

void TopRim::setColor(const QColor& color) {
    if (color != color_) {
        color_ = color;
        emit changed();
    }
}

void TopRim::paint(QPainter* painter) {
    const QRectF rect = boundingRect().adjusted(0.5, 0.5, -0.5, -0.5);
    if (rect.isEmpty()) {
        return;
    }
    QColor clear = color_;
    clear.setAlphaF(0);
    QLinearGradient fade(rect.topLeft(), QPointF(rect.left(), boundingRect().center().y()));
    fade.setColorAt(0, color_);
    fade.setColorAt(1, clear);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QBrush(fade), 1));
    painter->setBrush(Qt::NoBrush);
    const qreal radius = std::clamp(radius_ - 0.5, 0.0, std::min(rect.width(), rect.height()) / 2);
    painter->drawRoundedRect(rect, radius, radius);
}

}  // namespace quillory
