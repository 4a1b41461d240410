#include "design/symbols.h"

#include <QSet>
#include <mutex>

#include "platform/log/logger.h"

namespace quillory {

namespace {

std::mutex reportMutex;
QSet<QString> reported;

}  // namespace

std::optional<QString> symbolAsset(const QString& name) {
    for (const Symbol& symbol : symbols) {
        if (name == QLatin1String(symbol.name)) {
            return QString::fromLatin1(symbol.asset);
        }
    }
    std::lock_guard lock(reportMutex);
    if (!reported.contains(name)) {
        reported.insert(name);
        static const Logger logger("app.quillory.design", "resources");
        logger.error("Unknown symbol \"%s\"; drawing nothing", qUtf8Printable(name));
    }
    return std::nullopt;
}

QStringList reportedUnknownSymbols() {
    std::lock_guard lock(reportMutex);
    QStringList names = reported.values();
    names.sort();
    return names;
}

}  // namespace quillory
