#include "design/typography.h"

#include <QGuiApplication>
#include <QJSEngine>

#include "design/appearance.h"
#include "design/font_registry.h"

namespace quillory {

QFont designFont(const DesignTextStyle& style, double textScale) {
    const double size = style.size * textScale;
    if (style.face) {
        return FontRegistry::shared().font(QString::fromLatin1(style.face), size);
    }
    QFont font = QGuiApplication::font();
    font.setPixelSize(qMax(1, qRound(size)));
    font.setWeight(style.weight);
    return font;
}

QFont designFont(const DesignTextStyle& style) {
    return designFont(style, Appearance::shared()->textScale());
}

template <typename T>
static T* sharedInstance(T* made) {
    QJSEngine::setObjectOwnership(made, QJSEngine::CppOwnership);
    QObject::connect(Appearance::shared(), &Appearance::changed, made, &T::changed);
    return made;
}

DesignTypographyFonts::DesignTypographyFonts() = default;

DesignTypographyFonts* DesignTypographyFonts::create(QQmlEngine*, QJSEngine*) {
    static DesignTypographyFonts* const instance = sharedInstance(new DesignTypographyFonts());
    return instance;
}

QFont DesignTypographyFonts::font(const QString& face, qreal size) const {
    return FontRegistry::shared().font(face, size * Appearance::shared()->textScale());
}

PadTypeFonts::PadTypeFonts() = default;

PadTypeFonts* PadTypeFonts::create(QQmlEngine*, QJSEngine*) {
    static PadTypeFonts* const instance = sharedInstance(new PadTypeFonts());
    return instance;
}

}  // namespace quillory
