#include "app/desktop-control/recorder-view/recorder_icon.h"

#include <QPainter>

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

void RecorderIcon::paint(QPainter* painter) {
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(QRectF(0, 0, width(), height()), image_);
}

}  // namespace quillory
