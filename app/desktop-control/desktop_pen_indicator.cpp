#include "app/desktop-control/desktop_pen_indicator.h"

#include <QPainter>
#include <QRasterWindow>
#include <QRegion>
#include <QSurfaceFormat>

#include "platform/dispatch/main_queue.h"

namespace quillory {

// Draws a black ring with a white halo, visible on light and dark content alike.
class MarkerWindow final : public QRasterWindow {
  public:
    MarkerWindow() {
        setFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                 Qt::X11BypassWindowManagerHint);
        QSurfaceFormat format;
        format.setAlphaBufferSize(8);
        setFormat(format);
        const int side = DesktopPenIndicator::side;
        resize(side, side);
        // Without a compositor the alpha channel is ignored: the shape keeps only the ring.
        const QRegion outer(8, 8, side - 16, side - 16, QRegion::Ellipse);
        const QRegion inner(15, 15, side - 30, side - 30, QRegion::Ellipse);
        setMask(outer.subtracted(inner));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(QRect(0, 0, width(), height()), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF ring(12, 12, width() - 24, height() - 24);
        painter.setPen(QPen(Qt::white, 4));
        painter.drawEllipse(ring);
        painter.setPen(QPen(Qt::black, 2));
        painter.drawEllipse(ring);
    }
};

DesktopPenIndicator::DesktopPenIndicator() : panel_(std::make_unique<MarkerWindow>()) {}

DesktopPenIndicator::~DesktopPenIndicator() = default;

void DesktopPenIndicator::show(Point point) {
    cancelDismissal();
    panel_->setPosition(static_cast<int>(std::lround(point.x)) - side / 2,
                        static_cast<int>(std::lround(point.y)) - side / 2);
    panel_->requestUpdate();
    if (!panel_->isVisible()) {
        panel_->show();
    }
    panel_->raise();
    std::weak_ptr<int> alive = lifetime_;
    dismissal_ = MainQueue::after(dismissalDelay, [this, alive] {
        if (alive.lock()) {
            panel_->hide();
        }
    });
}

void DesktopPenIndicator::cancelDismissal() {
    dismissal_.cancel();
}

void DesktopPenIndicator::hide() {
    panel_->hide();
}

bool DesktopPenIndicator::isVisible() const {
    return panel_->isVisible();
}

Point DesktopPenIndicator::centre() const {
    return {static_cast<double>(panel_->x() + side / 2),
            static_cast<double>(panel_->y() + side / 2)};
}

}  // namespace quillory
