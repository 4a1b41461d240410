#include "design/dot_grid.h"

#include <QPainter>
#include <QPainterPath>

namespace quillory {

DotGrid::DotGrid(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    connect(this, &QQuickItem::widthChanged, this, [this] { update(); });
    connect(this, &QQuickItem::heightChanged, this, [this] { update(); });
}

void DotGrid::setRadius(qreal radius) {
    if (radius == radius_) {
        return;
    }
    radius_ = radius;
    emit radiusChanged();
    update();
}

void DotGrid::paint(QPainter* painter) {
    constexpr qreal start = 12;
    constexpr qreal step = 24;
    constexpr qreal dot = 2;
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    QColor grey(0x8E, 0x8E, 0x93);
    grey.setAlphaF(0.3f);
    painter->setBrush(grey);
    if (radius_ > 0) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(0, 0, width(), height()), radius_, radius_);
        painter->setClipPath(shape);
    }
    for (qreal x = start; x < width(); x += step) {
        for (qreal y = start; y < height(); y += step) {
            painter->drawEllipse(QRectF(x, y, dot, dot));
        }
    }
}

}  // namespace quillory
