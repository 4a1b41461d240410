#include "design/font_registry.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include "design/design_resources.h"
#include "platform/log/logger.h"

namespace quillory {

FontRegistry::FontRegistry(const DesignResources& resources) : resources_(resources) {}

FontRegistry& FontRegistry::shared() {
    static FontRegistry registry(DesignResources::shared());
    return registry;
}

void FontRegistry::registerFonts() {
    if (registrations_ > 0) {
        return;
    }
    ++registrations_;
    for (const char* face : faces) {
        const auto path = resources_.font(QString::fromLatin1(face));
        if (!path) {
            continue;  // Already logged; the face falls back.
        }
        const int id = QFontDatabase::addApplicationFont(*path);
        const QStringList families =
            id < 0 ? QStringList{} : QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            static const Logger logger("app.quillory.design", "fonts");
            logger.error("Font %s could not be registered", qUtf8Printable(*path));
            continue;
        }
        families_.insert(QString::fromLatin1(face), families.first());
    }
}

QString FontRegistry::family(const QString& face) {
    registerFonts();
    const QString file = face == QLatin1String("Bold") ? QStringLiteral("SemiBold") : face;
    return families_.value(file, QGuiApplication::font().family());
}

QFont FontRegistry::font(const QString& face, double pixelSize) {
    QFont font(family(face));
    // Each family has only its one style: asking for a weight would fake a bold.
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace quillory
