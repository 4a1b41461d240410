#include "design/dot_grid.h"

#include <QPainter>

namespace quillory {

DotGrid::DotGrid(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    connect(this, &QQuickItem::widthChanged, this, [this] { update(); });
    connect(this, &QQuickItem::heightChanged, this, [this] { update(); });
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
    for (qreal x = start; x < width(); x += step) {
        for (qreal y = start; y < height(); y += step) {
            painter->drawEllipse(QRectF(x, y, dot, dot));
        }
    }
}

}  // namespace quillory
