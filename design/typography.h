#pragma once

#include <QtQml/qqmlregistration.h>

#include <QFont>
#include <QObject>

class QQmlEngine;
class QJSEngine;

namespace quillory {

// A text style: a face of the module's typeface, or a weight of the system UI family, at a size
// in design points (logical pixels). Every style grows with Appearance.textScale.
struct DesignTextStyle {
    const char* face = nullptr;  // null for the system family
    double size = 0;
    QFont::Weight weight = QFont::Normal;
};

namespace DesignTypography {
inline constexpr DesignTextStyle largeTitle{"Medium", 34};
inline constexpr DesignTextStyle title2{"Medium", 24};
inline constexpr DesignTextStyle body{"Regular", 16};
inline constexpr DesignTextStyle subheadlineMedium{"Medium", 15};
inline constexpr DesignTextStyle subheadline{"Regular", 14};
inline constexpr DesignTextStyle caption{"Regular", 12};
inline constexpr DesignTextStyle headline{"Bold", 17};
inline constexpr DesignTextStyle title2Bold{"Bold", 26};
inline constexpr DesignTextStyle display56{"SemiBold", 56};
inline constexpr DesignTextStyle display38{"SemiBold", 38};
inline constexpr DesignTextStyle title{"SemiBold", 30};
inline constexpr DesignTextStyle title3{"SemiBold", 21};
inline constexpr DesignTextStyle display52{"SemiBold", 52};
inline constexpr DesignTextStyle display50{"SemiBold", 50};
}  // namespace DesignTypography

// System text styles at the desktop's usual sizes.
namespace PadType {
inline constexpr DesignTextStyle body{nullptr, 13};
inline constexpr DesignTextStyle title3{nullptr, 15};
inline constexpr DesignTextStyle calloutSemibold{nullptr, 12, QFont::DemiBold};
inline constexpr DesignTextStyle bodySemibold{nullptr, 13, QFont::DemiBold};
inline constexpr DesignTextStyle subheadline{nullptr, 11};
inline constexpr DesignTextStyle footnoteSemibold{nullptr, 10, QFont::DemiBold};
inline constexpr DesignTextStyle caption{nullptr, 10};
inline constexpr DesignTextStyle captionMonospacedDigits{nullptr, 10, QFont::Medium};
inline constexpr DesignTextStyle caption2Medium{nullptr, 10, QFont::Medium};
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
    Q_PROPERTY(QFont largeTitle READ largeTitle NOTIFY changed)
    Q_PROPERTY(QFont title2 READ title2 NOTIFY changed)
    Q_PROPERTY(QFont body READ body NOTIFY changed)
    Q_PROPERTY(QFont subheadlineMedium READ subheadlineMedium NOTIFY changed)
    Q_PROPERTY(QFont subheadline READ subheadline NOTIFY changed)
    Q_PROPERTY(QFont caption READ caption NOTIFY changed)
    Q_PROPERTY(QFont headline READ headline NOTIFY changed)
    Q_PROPERTY(QFont title2Bold READ title2Bold NOTIFY changed)
    Q_PROPERTY(QFont display56 READ display56 NOTIFY changed)
    Q_PROPERTY(QFont display38 READ display38 NOTIFY changed)
    Q_PROPERTY(QFont title READ title NOTIFY changed)
    Q_PROPERTY(QFont title3 READ title3 NOTIFY changed)
    Q_PROPERTY(QFont display52 READ display52 NOTIFY changed)
    Q_PROPERTY(QFont display50 READ display50 NOTIFY changed)

  public:
    static DesignTypographyFonts* create(QQmlEngine*, QJSEngine*);

    Q_INVOKABLE QFont font(const QString& face, qreal size) const;

#define QUILLORY_TEXT_STYLE(name)                  \
    QFont name() const {                           \
        return designFont(DesignTypography::name); \
    }
    QUILLORY_TEXT_STYLE(largeTitle)
    QUILLORY_TEXT_STYLE(title2)
    QUILLORY_TEXT_STYLE(body)
    QUILLORY_TEXT_STYLE(subheadlineMedium)
    QUILLORY_TEXT_STYLE(subheadline)
    QUILLORY_TEXT_STYLE(caption)
    QUILLORY_TEXT_STYLE(headline)
    QUILLORY_TEXT_STYLE(title2Bold)
    QUILLORY_TEXT_STYLE(display56)
    QUILLORY_TEXT_STYLE(display38)
    QUILLORY_TEXT_STYLE(title)
    QUILLORY_TEXT_STYLE(title3)
    QUILLORY_TEXT_STYLE(display52)
    QUILLORY_TEXT_STYLE(display50)
#undef QUILLORY_TEXT_STYLE

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
    Q_PROPERTY(QFont body READ body NOTIFY changed)
    Q_PROPERTY(QFont title3 READ title3 NOTIFY changed)
    Q_PROPERTY(QFont calloutSemibold READ calloutSemibold NOTIFY changed)
    Q_PROPERTY(QFont bodySemibold READ bodySemibold NOTIFY changed)
    Q_PROPERTY(QFont subheadline READ subheadline NOTIFY changed)
    Q_PROPERTY(QFont footnoteSemibold READ footnoteSemibold NOTIFY changed)
    Q_PROPERTY(QFont caption READ caption NOTIFY changed)
    Q_PROPERTY(QFont captionMonospacedDigits READ captionMonospacedDigits NOTIFY changed)
    Q_PROPERTY(QFont caption2Medium READ caption2Medium NOTIFY changed)

  public:
    static PadTypeFonts* create(QQmlEngine*, QJSEngine*);

#define QUILLORY_TEXT_STYLE(name)         \
    QFont name() const {                  \
        return designFont(PadType::name); \
    }
    QUILLORY_TEXT_STYLE(body)
    QUILLORY_TEXT_STYLE(title3)
    QUILLORY_TEXT_STYLE(calloutSemibold)
    QUILLORY_TEXT_STYLE(bodySemibold)
    QUILLORY_TEXT_STYLE(subheadline)
    QUILLORY_TEXT_STYLE(footnoteSemibold)
    QUILLORY_TEXT_STYLE(caption)
    QUILLORY_TEXT_STYLE(captionMonospacedDigits)
    QUILLORY_TEXT_STYLE(caption2Medium)
#undef QUILLORY_TEXT_STYLE

  signals:
    void changed();

  private:
    PadTypeFonts();
};

}  // namespace quillory
