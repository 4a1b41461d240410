#include "design/panel_rect.h"

#include <QPainterPath>
#include <algorithm>

namespace quillory {

QRect panelRect(QRect anchor, QRect available, QSize size, int margin) {
    const int w = size.width();
    const int h = size.height();
    // QRect's right() and bottom() are inclusive; work with exclusive edges.
    const int left = available.x() + margin;
    const int right = available.x() + available.width() - margin;
    const int top = available.y() + margin;
    const int bottom = available.y() + available.height() - margin;

    const int centreX = anchor.x() + anchor.width() / 2;
    const int x = std::min(std::max(centreX - w / 2, left), right - w);

    const int anchorCentreY = anchor.y() + anchor.height() / 2;
    const bool below = anchorCentreY < available.y() + available.height() / 2;
    int y = 0;
    if (below) {
        const int anchorBottom = std::max(anchor.y() + anchor.height(), available.y());
        y = std::min(std::max(anchorBottom + margin, top), bottom - h);
    } else {
        const int anchorTop = std::min(anchor.y(), available.y() + available.height());
        y = std::max(std::min(anchorTop - margin - h, bottom - h), top);
    }
    return {x, y, w, h};
}

QRegion roundedRegion(QRect rect, int radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

}  // namespace quillory
