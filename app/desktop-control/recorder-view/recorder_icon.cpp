#include "app/desktop-control/recorder-view/recorder_icon.h"

#include <QPainter>
#include <QQuickWindow>

#include "design/icon_renderer.h"

namespace quillory {

RecorderIcon::RecorderIcon(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

void RecorderIcon::setImage(const QImage& image) {
    if (image != image_) {
        image_ = image;
        emit imageChanged();
        update();
    }
}

void RecorderIcon::setSymbolColor(const QColor& color) {
    if (color != symbolColor_) {
        symbolColor_ = color;
        emit symbolColorChanged();
        update();
    }
}

void RecorderIcon::paint(QPainter* painter) {
    const QRectF bounds(0, 0, width(), height());
    if (!image_.isNull()) {
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(bounds, image_);
        return;
    }
    const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : 1;
    const QSize pixels = (bounds.size() * ratio).toSize();
    if (pixels.isEmpty()) {
        return;
    }
    QImage symbol = renderTemplateSvg(QStringLiteral(":/design/icons/phosphor-selection.svg"),
                                      pixels, symbolColor_);
    symbol.setDevicePixelRatio(ratio);
    painter->drawImage(bounds.topLeft(), symbol);
}

}  // namespace quillory
