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

struct Cache {
    std::array<QImage, 4> single;
    std::array<QImage, 4> doubled;
    std::array<QIcon, 4> icons;
};

const Cache& cache() {
    static const Cache built = [] {
        Cache made;
        std::unique_ptr<QSvgRenderer> mark;
        if (const auto path = DesignResources::shared().mark(QString::fromLatin1(markName))) {
            mark = std::make_unique<QSvgRenderer>(*path);
        }
        for (State state : allStates) {
            const auto i = static_cast<std::size_t>(state);
            made.single[i] = draw(state, 1, mark.get());
            made.doubled[i] = draw(state, 2, mark.get());
            made.icons[i].addPixmap(QPixmap::fromImage(made.single[i]));
            made.icons[i].addPixmap(QPixmap::fromImage(made.doubled[i]));
        }
        return made;
    }();
    return built;
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

    // The badge's numbers are in bottom-left coordinates; one flip keeps them as designed and
    // puts the badge over the upper right of the mark.
    painter.translate(0, height);
    painter.scale(1, -1);
    painter.translate(-1.5, -1.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.drawEllipse(QRectF(12.5, 8.5, 10, 10));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawEllipse(QRectF(13, 9, 9, 9));

    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(QPen(Qt::black, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    drawGlyph(painter, state);
    painter.end();

    // A template is colourless: only coverage counts.
    tint(image, Qt::black);
    image.setDevicePixelRatio(scale);
    return image;
}

const QIcon& icon(State state) {
    return cache().icons[static_cast<std::size_t>(state)];
}

const QIcon& idleIcon() {
    return icon(State::idle);
}

const QImage& image(State state, int scale) {
    const auto i = static_cast<std::size_t>(state);
    return scale >= 2 ? cache().doubled[i] : cache().single[i];
}

}  // namespace quillory::MenuBarMark
