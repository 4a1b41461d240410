#include "app/interface/mac_ink.h"

#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>

#include "platform/dispatch/serial_queue.h"

namespace quillory {

MacInk::MacInk(QQuickItem* parent)
    : QQuickPaintedItem(parent),
      raster_(std::make_unique<InkRaster>(std::make_shared<SerialQueue>("app.quillory.ink"))) {
    setFillColor(Qt::transparent);
    setOpaquePainting(false);
    // The rebuilt raster is taken on the next polish, on the GUI thread.
    raster_->onRebuilt([this] { QMetaObject::invokeMethod(this, &MacInk::polish); });
}

MacInk::~MacInk() {
    // Waits for a rebuild that is running, while this item can still be asked to polish.
    raster_.reset();
}

void MacInk::setInput(InputControl* input) {
    if (input == input_) {
        return;
    }
    if (input_) {
        disconnect(input_, nullptr, this, nullptr);
    }
    input_ = input;
    if (input_) {
        connect(input_, &InputControl::samplesChanged, this, &MacInk::polish);
        connect(input_, &InputControl::pointerChanged, this, &MacInk::polish);
    }
    polish();
    emit inputChanged();
}

void MacInk::setGrid(bool grid) {
    if (grid != grid_) {
        grid_ = grid;
        polish();
        emit gridChanged();
    }
}

void MacInk::setColors(Colors* colors) {
    if (colors == colors_) {
        return;
    }
    if (colors_) {
        disconnect(colors_, nullptr, this, nullptr);
    }
    colors_ = colors;
    if (colors_) {
        connect(colors_, &Colors::changed, this, &MacInk::polish);
    }
    polish();
    emit colorsChanged();
}

void MacInk::setRadius(double radius) {
    if (radius != radius_) {
        radius_ = radius;
        update();
        emit radiusChanged();
    }
}

InkLook MacInk::look() const {
    InkLook look;
    look.size = size();
    look.ratio = window() ? window()->effectiveDevicePixelRatio() : 1;
    look.grid = grid_;
    if (colors_) {
        look.gridColor = colors_->rule();
        look.inkColor = colors_->primaryText();
    }
    return look;
}

void MacInk::updatePolish() {
    static const std::vector<PenSample> none;
    const auto& samples = input_ ? input_->samples() : none;
    raster_->update(
        {samples, input_ ? input_->samplesAppended() : 0, input_ ? input_->sampleGeneration() : 0},
        look());
    pointer_ = input_ ? input_->pointer() : std::nullopt;
    ringOuter_ = colors_ ? colors_->surface() : QColor(Qt::white);
    ringInner_ = colors_ ? colors_->accent() : QColor(Qt::blue);
    update();
}

void MacInk::paint(QPainter* painter) {
    if (radius_ > 0) {
        QPainterPath box;
        box.addRoundedRect(QRectF(0, 0, width(), height()), radius_, radius_);
        painter->setClipPath(box);
    }
    const QImage& image = raster_->image();
    const double ratio = look().ratio;
    painter->drawImage(QRectF(0, 0, width(), height()), image,
                       QRectF(0, 0, width() * ratio, height() * ratio));
    if (!pointer_) {
        return;
    }
    const InkPoint centre = InkGeometry::ringCentre(*pointer_, {width(), height()});
    const double radius = InkGeometry::ringDiameter / 2;
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(ringOuter_, InkGeometry::ringOuterWidth));
    painter->drawEllipse(QPointF(centre.x, centre.y), radius, radius);
    painter->setPen(QPen(ringInner_, InkGeometry::ringInnerWidth));
    painter->drawEllipse(QPointF(centre.x, centre.y), radius, radius);
}

void MacInk::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) {
        polish();
    }
}

void MacInk::itemChange(ItemChange change, const ItemChangeData& data) {
    QQuickPaintedItem::itemChange(change, data);
    if (change == ItemDevicePixelRatioHasChanged || change == ItemSceneChange) {
        polish();
    }
}

}  // namespace quillory
