#include "design/menu_bar_mark.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <array>
#include <cmath>
#include <memory>

#include "design/design_resources.h"
#include "design/icon_renderer.h"

namespace quillory::MenuBarMark {

namespace {

// The glyph of a state as one outline. Filled rather than stroked: below a pen width of one
// device pixel QPainter draws strokes as one-pixel hairlines, which at 16 or 24 pixels would
// cut thicker lines than drawn, and crossing strokes would clear their overlap twice.
QPainterPath glyphShape(State state) {
    QPainterPath strokes;
    QPainterPath shape;
    switch (state) {
        case State::idle:
            strokes.moveTo(15.5, 13.5);
            strokes.lineTo(19.5, 13.5);
            break;
        case State::pairing:
            shape.addEllipse(QRectF(15.5, 12.8, 1.4, 1.4));
            shape.addEllipse(QRectF(18.3, 12.8, 1.4, 1.4));
            return shape;
        case State::connected:
            strokes.moveTo(15, 13.5);
            strokes.lineTo(17, 11.7);
            strokes.lineTo(20, 15.2);
            break;
        case State::failed:
            strokes.moveTo(15.8, 11.8);
            strokes.lineTo(19.2, 15.2);
            strokes.moveTo(15.8, 15.2);
            strokes.lineTo(19.2, 11.8);
            break;
    }
    QPainterPathStroker stroker;
    stroker.setWidth(1.2);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    shape = stroker.createStroke(strokes);
    shape.setFillRule(Qt::WindingFill);
    return shape;
}

// The badge's numbers are in bottom-left coordinates; one flip keeps them as designed and puts
// the badge over the upper right of the mark.
void enterBadgeCoordinates(QPainter& painter) {
    painter.translate(0, imageSize.height());
    painter.scale(1, -1);
    painter.translate(-1.5, -1.0);
}

void cutGlyph(QPainter& painter, State state) {
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPath(glyphShape(state));
}

// Loaded once and kept: the icons draw again whenever a tray asks for a new size.
QSvgRenderer* markRenderer() {
    static const std::unique_ptr<QSvgRenderer> mark = []() -> std::unique_ptr<QSvgRenderer> {
        if (const auto path = DesignResources::shared().mark(QString::fromLatin1(markName))) {
            return std::make_unique<QSvgRenderer>(*path);
        }
        return nullptr;
    }();
    return mark.get();
}

// Draws the status image at the size it is asked for instead of scaling a few fixed pictures,
// which blurs the glyph at 1.5× and at tray sizes such as 16 or 24 pixels.
class StatusMarkEngine final : public QIconEngine {
  public:
    StatusMarkEngine(State state, bool tray) : state_(state), tray_(tray) {}

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return fitted(size); }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) override {
        // `size` is in device pixels already.
        const QSize pixels = fitted(size);
        if (pixels.isEmpty()) {
            return {};
        }
        const QString key = QStringLiteral("quillory-status-%1-%2-%3x%4")
                                .arg(tray_ ? 1 : 0)
                                .arg(static_cast<int>(state_))
                                .arg(pixels.width())
                                .arg(pixels.height());
        QPixmap pixmap;
        if (!QPixmapCache::find(key, &pixmap)) {
            const qreal points = std::min(qreal(pixels.width()) / imageSize.width(),
                                          qreal(pixels.height()) / imageSize.height());
            QImage image = tray_ ? drawTray(state_, points, markRenderer())
                                 : draw(state_, points, markRenderer());
            pixmap = QPixmap::fromImage(std::move(image));
            QPixmapCache::insert(key, pixmap);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        const QPixmap pixmap = scaledPixmap(rect.size() * scale, mode, state, scale);
        const QSizeF shown = pixmap.deviceIndependentSize();
        painter->drawPixmap(
            QRectF(rect.x() + (rect.width() - shown.width()) / 2,
                   rect.y() + (rect.height() - shown.height()) / 2, shown.width(), shown.height()),
            pixmap, QRectF(pixmap.rect()));
    }

    // The sizes trays usually ask for; the status notifier protocol sends one picture of each.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32),
                QSize(44, 44), QSize(48, 48), QSize(64, 64)};
    }

    QString key() const override { return QStringLiteral("QuilloryStatusMark"); }
    QIconEngine* clone() const override { return new StatusMarkEngine(state_, tray_); }
    bool isNull() override { return false; }

  private:
    // 22 × 18 fitted into `size`, keeping its proportions.
    static QSize fitted(const QSize& size) {
        return QSizeF(imageSize).scaled(QSizeF(size), Qt::KeepAspectRatio).toSize();
    }

    State state_;
    bool tray_;
};

struct Icons {
    std::array<QIcon, 4> templates;
    std::array<QIcon, 4> tray;
};

const Icons& icons() {
    static const Icons built = [] {
        Icons made;
        for (State state : allStates) {
            const auto i = static_cast<std::size_t>(state);
            made.templates[i] = QIcon(new StatusMarkEngine(state, false));
            made.tray[i] = QIcon(new StatusMarkEngine(state, true));
        }
        return made;
    }();
    return built;
}

// Alpha of `coverage` spread by `radius` pixels in every direction (a square neighbourhood).
QImage spread(const QImage& coverage, int radius) {
    const int w = coverage.width();
    const int h = coverage.height();
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            int alpha = 0;
            for (int dy = -radius; dy <= radius; ++dy) {
                const int sy = y + dy;
                if (sy < 0 || sy >= h) {
                    continue;
                }
                const auto* source = reinterpret_cast<const QRgb*>(coverage.constScanLine(sy));
                for (int dx = -radius; dx <= radius; ++dx) {
                    const int sx = x + dx;
                    if (sx >= 0 && sx < w) {
                        alpha = std::max(alpha, qAlpha(source[sx]));
                    }
                }
            }
            line[x] = qRgba(0, 0, 0, alpha);
        }
    }
    return out;
}

}  // namespace

QImage draw(State state, qreal scale, QSvgRenderer* mark) {
    QImage image((QSizeF(imageSize) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);

    const double height = imageSize.height();
    if (mark && mark->isValid() && !mark->defaultSize().isEmpty()) {
        const QSizeF natural = mark->defaultSize();
        const double k = std::min(18.0 / natural.width(), 16.0 / natural.height());
        const QSizeF fitted = natural * k;
        // Drawn four times larger and averaged down: at tray sizes the mark's stroke is thinner
        // than a pixel, and QPainter would draw it as a hairline one pixel wide.
        constexpr int fine = 4;
        QImage layer(image.size() * fine, QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        {
            QPainter layerPainter(&layer);
            layerPainter.setRenderHint(QPainter::Antialiasing);
            layerPainter.scale(fine * scale, fine * scale);
            // Sits on the bottom edge, as it does in the drawing's bottom-left coordinates.
            mark->render(&layerPainter, QRectF(QPointF(0, height - fitted.height()), fitted));
        }
        painter.drawImage(
            QRectF(QPointF(0, 0), QSizeF(image.size()) / scale),
            layer.scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }

    enterBadgeCoordinates(painter);

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.drawEllipse(QRectF(12.5, 8.5, 10, 10));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawEllipse(QRectF(13, 9, 9, 9));

    cutGlyph(painter, state);
    painter.end();

    // A template is colourless: only coverage counts.
    tint(image, Qt::black);
    image.setDevicePixelRatio(scale);
    return image;
}

QImage drawTray(State state, qreal scale, QSvgRenderer* mark) {
    QImage glyph = draw(state, scale, mark);
    glyph.setDevicePixelRatio(1);
    // About one point of halo, never less than a pixel.
    QImage image = spread(glyph, std::max(1, static_cast<int>(std::lround(scale))));
    {
        QPainter painter(&image);
        // The halo: dark enough to read on light panels, soft enough to pass for an edge.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), QColor(0, 0, 0, 170));
    }
    tint(glyph, Qt::white);
    QPainter painter(&image);
    painter.drawImage(0, 0, glyph);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    enterBadgeCoordinates(painter);
    // The halo must not fill the glyph cut into the badge.
    cutGlyph(painter, state);
    painter.end();
    image.setDevicePixelRatio(scale);
    return image;
}

const QIcon& icon(State state) {
    return icons().templates[static_cast<std::size_t>(state)];
}

const QIcon& trayIcon(State state) {
    return icons().tray[static_cast<std::size_t>(state)];
}

const QIcon& idleIcon() {
    return icon(State::idle);
}

QImage image(State state, qreal scale) {
    return draw(state, scale, markRenderer());
}

QImage trayImage(State state, qreal scale) {
    return drawTray(state, scale, markRenderer());
}

}  // namespace quillory::MenuBarMark
