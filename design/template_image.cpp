#include "design/template_image.h"

#include <QPainter>
#include <QQuickWindow>

#include "design/design_resources.h"
#include "design/icon_renderer.h"
#include "design/menu_bar_mark.h"
#include "design/symbols.h"

namespace quillory {

TemplateImage::TemplateImage(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

void TemplateImage::setColor(const QColor& color) {
    if (color == color_) {
        return;
    }
    color_ = color;
    emit colorChanged();
    update();
}

void TemplateImage::paint(QPainter* painter) {
    const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    const QSize pixels = (size() * ratio).toSize();
    if (pixels.isEmpty()) {
        return;
    }
    QImage image = render(pixels, color_);
    image.setDevicePixelRatio(ratio);
    painter->drawImage(QPointF(0, 0), image);
}

void IconImage::setIcon(const QString& icon) {
    if (icon == icon_) {
        return;
    }
    icon_ = icon;
    emit iconChanged();
    update();
}

void IconImage::setFamily(const QString& family) {
    if (family == family_) {
        return;
    }
    family_ = family;
    emit familyChanged();
    update();
}

void IconImage::setSymbol(const QString& symbol) {
    if (symbol == symbol_) {
        return;
    }
    symbol_ = symbol;
    emit symbolChanged();
    update();
}

QUrl IconImage::symbolSource() const {
    const auto asset = symbolAsset(symbol_);
    const auto path = asset ? DesignResources::shared().icon(*asset) : std::nullopt;
    // Resource paths start with ':'; QML names them with the qrc scheme.
    return path && path->startsWith(QLatin1Char(':'))
               ? QUrl(QStringLiteral("qrc") + *path)
               : (path ? QUrl::fromLocalFile(*path) : QUrl());
}

QImage IconImage::render(QSize pixels, const QColor& color) const {
    if (!symbol_.isEmpty()) {
        IconSource source;
        if (const auto asset = symbolAsset(symbol_)) {
            if (const auto path = DesignResources::shared().icon(*asset)) {
                source = {IconSource::Kind::file, *path};
            }
        }
        return renderIcon(source, pixels, color);
    }
    const auto icon = appIconFromRawValue(icon_);
    const AppIconFamily family =
        appIconFamilyFromRawValue(family_).value_or(AppIconFamily::phosphor);
    const IconSource source =
        icon ? iconSource(*icon, family, DesignResources::shared()) : IconSource{};
    return renderIcon(source, pixels, color);
}

QImage MarkImage::render(QSize pixels, const QColor& color) const {
    const auto path = DesignResources::shared().mark(MenuBarMark::markName);
    if (!path) {
        QImage empty(pixels, QImage::Format_ARGB32_Premultiplied);
        empty.fill(Qt::transparent);
        return empty;
    }
    return renderTemplateSvg(*path, pixels, color);
}

}  // namespace quillory
