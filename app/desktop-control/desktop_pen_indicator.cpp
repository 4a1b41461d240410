#include "app/desktop-control/desktop_pen_indicator.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QRegion>
#include <QScreen>
#include <QSurfaceFormat>
#include <cmath>

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

namespace {

// Qt places windows in logical pixels: each screen keeps its top-left corner and divides the rest
// by its device-pixel ratio. The screen is the one whose root-pixel area holds `point`.
QScreen* screenAt(Point point) {
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry();
        const QRectF native(logical.topLeft(), QSizeF(logical.size()) * screen->devicePixelRatio());
        if (native.contains(point.x, point.y)) {
            return screen;
        }
    }
    return QGuiApplication::primaryScreen();
}

QPointF toLogical(Point point, const QScreen* screen) {
    if (!screen) {
        return {point.x, point.y};
    }
    const QPointF origin = screen->geometry().topLeft();
    return origin + (QPointF(point.x, point.y) - origin) / screen->devicePixelRatio();
}

}  // namespace

DesktopPenIndicator::DesktopPenIndicator() : panel_(std::make_unique<MarkerWindow>()) {}

DesktopPenIndicator::~DesktopPenIndicator() = default;

void DesktopPenIndicator::show(Point point) {
    cancelDismissal();
    QScreen* screen = screenAt(point);
    if (screen && panel_->screen() != screen) {
        panel_->setScreen(screen);
    }
    const QPointF centre = toLogical(point, screen);
    panel_->setPosition(static_cast<int>(std::lround(centre.x())) - side / 2,
                        static_cast<int>(std::lround(centre.y())) - side / 2);
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
    const QPointF logical(panel_->x() + side / 2, panel_->y() + side / 2);
    const QScreen* screen = panel_->screen();
    if (!screen) {
        return {logical.x(), logical.y()};
    }
    const QPointF origin = screen->geometry().topLeft();
    const QPointF root = origin + (logical - origin) * screen->devicePixelRatio();
    return {root.x(), root.y()};
}

}  // namespace quillory
