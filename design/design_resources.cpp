#include "design/design_resources.h"

#include <QFileInfo>

#include "platform/log/logger.h"

namespace quillory {

DesignResources::DesignResources(QString root) : root_(std::move(root)) {}

DesignResources& DesignResources::shared() {
    static DesignResources resources(QStringLiteral(":/design"));
    return resources;
}

std::optional<QString> DesignResources::font(const QString& face) const {
    return locate(QStringLiteral("fonts/BarlowSemiCondensed-%1.ttf").arg(face));
}

std::optional<QString> DesignResources::icon(const QString& assetName) const {
    return locate(QStringLiteral("icons/%1.svg").arg(assetName));
}

std::optional<QString> DesignResources::mark(const QString& name) const {
    return locate(QStringLiteral("marks/%1.svg").arg(name));
}

QStringList DesignResources::reportedMissing() const {
    std::lock_guard lock(mutex_);
    QStringList names = reported_.values();
    names.sort();
    return names;
}

std::optional<QString> DesignResources::locate(const QString& relativePath) const {
    QString path = root_ + QLatin1Char('/') + relativePath;
    if (QFileInfo::exists(path)) {
        return path;
    }
    std::lock_guard lock(mutex_);
    if (!reported_.contains(relativePath)) {
        reported_.insert(relativePath);
        static const Logger logger("app.quillory.design", "resources");
        logger.error("Design resource %s is missing; drawing without it", qUtf8Printable(path));
    }
    return std::nullopt;
}

}  // namespace quillory
