#include "design/window_shadow.h"

#include <QHash>
#include <QPainter>
#include <QQuickWindow>
#include <algorithm>
#include <cmath>

#include "design/gaussian_shadow.h"

namespace quillory {

namespace {

// The blur reaches this far beyond the shape's edge, and as far into it.
constexpr qreal reach = 1.5 * WindowShadow::blur;

}  // namespace

WindowShadow::WindowShadow(QQuickItem* parent) : QQuickPaintedItem(parent) {
    refresh();
}

void WindowShadow::setShapeRadius(qreal radius) {
    if (radius != shapeRadius_) {
        shapeRadius_ = radius;
        refresh();
        emit shapeRadiusChanged();
    }
}

void WindowShadow::itemChange(ItemChange change, const ItemChangeData& value) {
    QQuickPaintedItem::itemChange(change, value);
    if (change == ItemSceneChange || change == ItemDevicePixelRatioHasChanged) {
        refresh();
    }
}

void WindowShadow::refresh() {
    patch_ = ninePatch(shapeRadius_, window() ? window()->effectiveDevicePixelRatio() : 1.0);
    update();
}

qreal WindowShadow::corner(qreal radius) {
    // Outside the shape, the rounded part and what the blur carries of it along the edge.
    return reach + std::max<qreal>(radius, 0) + reach;
}

QImage WindowShadow::ninePatch(qreal radius, qreal scale) {
    // GUI thread only.
    static QHash<QPair<int, int>, QImage> made;
    const QPair<int, int> key(qRound(radius * 4), qRound(scale * 4));
    auto found = made.constFind(key);
    if (found != made.constEnd()) {
        return *found;
    }
    // Two corners and one point of straight edge between them.
    const qreal side = 2 * corner(radius) + 1;
    const QSize pixels(qCeil(side * scale), qCeil(side * scale));
    const QImage image = GaussianShadow::render(pixels, scale, blur, radius,
                                                QColor::fromRgbF(0, 0, 0, float(opacity)));
    made.insert(key, image);
    return image;
}

void WindowShadow::paint(QPainter* painter) {
    const QImage& patch = patch_;
    const qreal scale = patch.width() / (2 * corner(shapeRadius_) + 1);
    // Where the shape is in the item, grown by the blur's reach: the patch's own frame.
    const QRectF target = QRectF(QPointF(0, 0), size())
                              .adjusted(margin - reach, margin - reach + offsetY, reach - margin,
                                        reach - margin + offsetY);
    if (target.width() <= 0 || target.height() <= 0 || patch.isNull()) {
        return;
    }
    // A card smaller than two corners takes smaller corners.
    const qreal full = corner(shapeRadius_);
    const qreal cx = std::min(full, target.width() / 2);
    const qreal cy = std::min(full, target.height() / 2);
    const qreal source = full * scale;
    const qreal width = patch.width();
    const qreal height = patch.height();
    const qreal xs[] = {0, source, width - source, width};
    const qreal ys[] = {0, source, height - source, height};
    const qreal xt[] = {target.left(), target.left() + cx, target.right() - cx, target.right()};
    const qreal yt[] = {target.top(), target.top() + cy, target.bottom() - cy, target.bottom()};
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRectF to(QPointF(xt[column], yt[row]), QPointF(xt[column + 1], yt[row + 1]));
            const QRectF from(QPointF(xs[column], ys[row]), QPointF(xs[column + 1], ys[row + 1]));
            if (to.width() > 0 && to.height() > 0) {
                painter->drawImage(to, patch, from);
            }
        }
    }
}

}  // namespace quillory
