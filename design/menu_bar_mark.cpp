#include "design/menu_bar_mark.h"

#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <array>
#include <memory>

#include "design/design_resources.h"
#include "design/icon_renderer.h"

namespace quillory::MenuBarMark {

namespace {

void drawGlyph(QPainter& painter, State state) {
    switch (state) {
        case State::idle:
            painter.drawLine(QPointF(15.5, 13.5), QPointF(19.5, 13.5));
            break;
        case State::pairing:
            painter.save();
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawEllipse(QRectF(15.5, 12.8, 1.4, 1.4));
            painter.drawEllipse(QRectF(18.3, 12.8, 1.4, 1.4));
            painter.restore();
            break;
        case State::connected: {
            QPainterPath tick(QPointF(15, 13.5));
            tick.lineTo(17, 11.7);
            tick.lineTo(20, 15.2);
            painter.drawPath(tick);
            break;
        }
        case State::failed:
            painter.drawLine(QPointF(15.8, 11.8), QPointF(19.2, 15.2));
            painter.drawLine(QPointF(15.8, 15.2), QPointF(19.2, 11.8));
            break;
    }
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
    painter.setPen(QPen(Qt::black, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    drawGlyph(painter, state);
}

struct Images {
    std::array<QImage, 4> single;
    std::array<QImage, 4> doubled;
    std::array<QIcon, 4> icons;
};

struct Cache {
    Images templates;
    Images tray;
};

void addState(Images& images, State state, QImage single, QImage doubled) {
    const auto i = static_cast<std::size_t>(state);
    images.single[i] = std::move(single);
    images.doubled[i] = std::move(doubled);
    images.icons[i].addPixmap(QPixmap::fromImage(images.single[i]));
    images.icons[i].addPixmap(QPixmap::fromImage(images.doubled[i]));
}

const Cache& cache() {
    static const Cache built = [] {
        Cache made;
        std::unique_ptr<QSvgRenderer> mark;
        if (const auto path = DesignResources::shared().mark(QString::fromLatin1(markName))) {
            mark = std::make_unique<QSvgRenderer>(*path);
        }
        for (State state : allStates) {
            addState(made.templates, state, draw(state, 1, mark.get()), draw(state, 2, mark.get()));
            addState(made.tray, state, drawTray(state, 1, mark.get()),
                     drawTray(state, 2, mark.get()));
        }
        return made;
    }();
    return built;
}

const QImage& pick(const Images& images, State state, int scale) {
    const auto i = static_cast<std::size_t>(state);
    return scale >= 2 ? images.doubled[i] : images.single[i];
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
        // Sits on the bottom edge, as it does in the drawing's bottom-left coordinates.
        mark->render(&painter, QRectF(QPointF(0, height - fitted.height()), fitted));
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

QImage drawTray(State state, int scale, QSvgRenderer* mark) {
    QImage glyph = draw(state, scale, mark);
    glyph.setDevicePixelRatio(1);
    QImage image = spread(glyph, scale);
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
    return cache().templates.icons[static_cast<std::size_t>(state)];
}

const QIcon& trayIcon(State state) {
    return cache().tray.icons[static_cast<std::size_t>(state)];
}

const QImage& trayImage(State state, int scale) {
    return pick(cache().tray, state, scale);
}

const QIcon& idleIcon() {
    return icon(State::idle);
}

const QImage& image(State state, int scale) {
    return pick(cache().templates, state, scale);
}

}  // namespace quillory::MenuBarMark
