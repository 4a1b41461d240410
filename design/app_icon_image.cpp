#include "design/app_icon_image.h"

#include <QPainter>
#include <QSvgRenderer>

namespace quillory {

const std::vector<int>& appIconSizes() {
    static const std::vector<int> sizes{16, 22, 24, 32, 48, 64, 128, 256};
    return sizes;
}

QString appIconResource(int size) {
    return size < appIconSmallLimit ? QStringLiteral(":/quillory/app-icon/quillory-small.svg")
                                    : QStringLiteral(":/quillory/app-icon/quillory.svg");
}

QImage renderAppIcon(const QString& svgPath, int size) {
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid()) {
        return {};
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image;
}

}  // namespace quillory
