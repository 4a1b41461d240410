#include "app/interface/card_art.h"

#include <QFile>

#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& logger() {
    static const Logger instance("app.quillory.interface", "card-art");
    return instance;
}

}  // namespace

QUrl CardArt::source(const QString& name) {
    if (name.isEmpty()) {
        return {};
    }
    const QString path = QStringLiteral(":/art/%1.svg").arg(name);
    if (QFile::exists(path)) {
        return QUrl(QStringLiteral("qrc") + path);
    }
    if (!reported_.contains(name)) {
        reported_.insert(name);
        logger().error("No picture %s: the header draws none", qUtf8Printable(name));
    }
    return {};
}

}  // namespace quillory
