#include "tools/icon-render/icon_render.h"

#include <QDir>
#include <QFile>
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

bool writeHicolorIcons(const QString& svgPath, const QString& smallSvgPath, const QString& folder,
                       QString& error) {
    const QDir root(folder);
    for (const int size : appIconSizes()) {
        const QString source = size < appIconSmallLimit ? smallSvgPath : svgPath;
        const QImage image = renderAppIcon(source, size);
        if (image.isNull()) {
            error = QStringLiteral("cannot read %1").arg(source);
            return false;
        }
        const QString apps = QStringLiteral("%1x%1/apps").arg(size);
        const QString target = root.filePath(apps + QStringLiteral("/quillory.png"));
        if (!root.mkpath(apps) || !image.save(target, "PNG")) {
            error = QStringLiteral("cannot write %1").arg(target);
            return false;
        }
    }
    const QString scalable = root.filePath(QStringLiteral("scalable/apps/quillory.svg"));
    QFile::remove(scalable);
    if (!root.mkpath(QStringLiteral("scalable/apps")) || !QFile::copy(svgPath, scalable)) {
        error = QStringLiteral("cannot write %1").arg(scalable);
        return false;
    }
    return true;
}

}  // namespace quillory
