#include "design/icon_renderer.h"

#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>

#include "design/design_resources.h"

namespace quillory {

namespace {

QImage transparentImage(QSize pixels) {
    QImage image(pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

}  // namespace

IconSource iconSource(AppIcon icon, AppIconFamily family, const DesignResources& resources) {
    if (family == AppIconFamily::systemSymbols) {
        const QString name = systemSymbolName(icon);
        // Symbolic variants are single-colour, like the module's own glyphs.
        for (const QString& candidate : {name + QStringLiteral("-symbolic"), name}) {
            if (!name.isEmpty() && QIcon::hasThemeIcon(candidate)) {
                return {IconSource::Kind::theme, candidate};
            }
        }
    }
    if (const auto path = resources.icon(phosphorName(icon))) {
        return {IconSource::Kind::file, *path};
    }
    return {};
}

QImage renderIcon(const IconSource& source, QSize pixels, const QColor& color) {
    switch (source.kind) {
        case IconSource::Kind::none:
            return transparentImage(pixels);
        case IconSource::Kind::file:
            return renderTemplateSvg(source.name, pixels, color);
        case IconSource::Kind::theme: {
            QImage image = transparentImage(pixels);
            const QPixmap pixmap = QIcon::fromTheme(source.name).pixmap(pixels);
            QPainter painter(&image);
            const QSize fitted = pixmap.size().scaled(pixels, Qt::KeepAspectRatio);
            painter.drawPixmap(QRect(QPoint((pixels.width() - fitted.width()) / 2,
                                            (pixels.height() - fitted.height()) / 2),
                                     fitted),
                               pixmap);
            painter.end();
            tint(image, color);
            return image;
        }
    }
    return transparentImage(pixels);
}

QImage renderTemplateSvg(const QString& path, QSize pixels, const QColor& color) {
    QImage image = transparentImage(pixels);
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return image;
    }
    const QSizeF natural = renderer.viewBoxF().size();
    const QSizeF fitted =
        natural.isEmpty() ? QSizeF(pixels) : natural.scaled(QSizeF(pixels), Qt::KeepAspectRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF((pixels.width() - fitted.width()) / 2,
                                             (pixels.height() - fitted.height()) / 2),
                                     fitted));
    painter.end();
    tint(image, color);
    return image;
}

void tint(QImage& image, const QColor& color) {
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
}

}  // namespace quillory
