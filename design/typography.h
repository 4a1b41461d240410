#pragma once

#include <QtQml/qqmlregistration.h>

#include <QFont>
#include <QObject>

class QQmlEngine;
class QJSEngine;

// Each list is X(name, face, size[, weight]); C++ and QML both take their styles from it.

#define QUILLORY_DESIGN_TYPOGRAPHY(X)  \
    X(largeTitle, "Medium", 34)        \
    X(title2, "Medium", 24)            \
    X(body, "Regular", 16)             \
    X(subheadlineMedium, "Medium", 15) \
    X(subheadline, "Regular", 14)      \
    X(caption, "Regular", 12)          \
    X(headline, "Bold", 17)            \
    X(title2Bold, "Bold", 26)          \
    X(display56, "SemiBold", 56)       \
    X(display38, "SemiBold", 38)       \
    X(title, "SemiBold", 30)           \
    X(title3, "SemiBold", 21)          \
    X(display52, "SemiBold", 52)       \
    X(display50, "SemiBold", 50)

#define QUILLORY_PAD_TYPE(X)                               \
    X(body, nullptr, 13)                                   \
    X(headline, nullptr, 13, QFont::Bold)                  \
    X(title3, nullptr, 15)                                 \
    X(calloutSemibold, nullptr, 12, QFont::DemiBold)       \
    X(bodySemibold, nullptr, 13, QFont::DemiBold)          \
    X(subheadline, nullptr, 11)                            \
    X(subheadlineSemibold, nullptr, 11, QFont::DemiBold)   \
    X(footnoteSemibold, nullptr, 10, QFont::DemiBold)      \
    X(caption, nullptr, 10)                                \
    X(captionMonospacedDigits, nullptr, 10, QFont::Medium) \
    X(caption2Medium, nullptr, 10, QFont::Medium)

#define QUILLORY_TEXT_STYLE_CONSTANT(name, ...) inline constexpr DesignTextStyle name{__VA_ARGS__};

#define QUILLORY_TEXT_STYLE_PROPERTY(name, ...) Q_PROPERTY(QFont name READ name NOTIFY changed)

#define QUILLORY_TEXT_STYLE_GETTER(name, ...)            \
    QFont name() const {                                 \
        return designFont(DesignTextStyle{__VA_ARGS__}); \
    }

namespace quillory {

// A text style: a face of the module's typeface, or a weight of the system UI family, at a size
// in design points (logical pixels). Every style grows with Appearance.textScale.
struct DesignTextStyle {
    const char* face = nullptr;  // null for the system family
    double size = 0;
    QFont::Weight weight = QFont::Normal;
};

namespace DesignTypography {
QUILLORY_DESIGN_TYPOGRAPHY(QUILLORY_TEXT_STYLE_CONSTANT)
}  // namespace DesignTypography

// System text styles at the desktop's usual sizes.
namespace PadType {
QUILLORY_PAD_TYPE(QUILLORY_TEXT_STYLE_CONSTANT)
}  // namespace PadType

// The font of a style at the given text scale; the module's faces register on first use.
QFont designFont(const DesignTextStyle& style, double textScale);
// The same at the Appearance's current text scale.
QFont designFont(const DesignTextStyle& style);

// DesignTypography for QML: `font: DesignTypography.title`, or `DesignTypography.font("Medium",
// 18)` for a size of its own.
class DesignTypographyFonts final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DesignTypography)
    QML_SINGLETON
    QUILLORY_DESIGN_TYPOGRAPHY(QUILLORY_TEXT_STYLE_PROPERTY)

  public:
    static DesignTypographyFonts* create(QQmlEngine*, QJSEngine*);

    Q_INVOKABLE QFont font(const QString& face, qreal size) const;

    QUILLORY_DESIGN_TYPOGRAPHY(QUILLORY_TEXT_STYLE_GETTER)

  signals:
    void changed();

  private:
    DesignTypographyFonts();
};

// PadType for QML.
class PadTypeFonts final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(PadType)
    QML_SINGLETON
    QUILLORY_PAD_TYPE(QUILLORY_TEXT_STYLE_PROPERTY)

  public:
    static PadTypeFonts* create(QQmlEngine*, QJSEngine*);

    QUILLORY_PAD_TYPE(QUILLORY_TEXT_STYLE_GETTER)

  signals:
    void changed();

  private:
    PadTypeFonts();
};

}  // namespace quillory
