#include "tools/icon-render/icon_render.h"

#include <QDir>
#include <QFile>

namespace quillory {

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
