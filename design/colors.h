#pragma once

#include <QtQml/qqmlregistration.h>

#include <QColor>
#include <QObject>

#include "design/design_colors.h"

namespace quillory {

// The colour tokens of one palette for QML, resolved for the current Appearance on every read.
// One shared instance per palette; changed() fires when the appearance changes.
class Colors final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Read Design.colors")
    Q_PROPERTY(QString palette READ paletteName CONSTANT)
    Q_PROPERTY(QColor onAccent READ onAccent NOTIFY changed)
    Q_PROPERTY(QColor accent READ accent NOTIFY changed)
    Q_PROPERTY(QColor successText READ successText NOTIFY changed)
    Q_PROPERTY(QColor secondaryText READ secondaryText NOTIFY changed)
    Q_PROPERTY(QColor controlFill READ controlFill NOTIFY changed)
    Q_PROPERTY(QColor rule READ rule NOTIFY changed)
    Q_PROPERTY(QColor destructiveText READ destructiveText NOTIFY changed)
    Q_PROPERTY(QColor surface READ surface NOTIFY changed)
    Q_PROPERTY(QColor primaryText READ primaryText NOTIFY changed)
    Q_PROPERTY(QColor neutralFill READ neutralFill NOTIFY changed)
    Q_PROPERTY(QColor success READ success NOTIFY changed)
    Q_PROPERTY(QColor warning READ warning NOTIFY changed)
    Q_PROPERTY(QColor background READ background NOTIFY changed)
    Q_PROPERTY(QColor accentStroke READ accentStroke NOTIFY changed)
    Q_PROPERTY(QColor destructive READ destructive NOTIFY changed)
    Q_PROPERTY(QColor accentText READ accentText NOTIFY changed)
    Q_PROPERTY(QColor secondaryAccent READ secondaryAccent NOTIFY changed)
    Q_PROPERTY(QColor neutral READ neutral NOTIFY changed)
    Q_PROPERTY(QColor shadow READ shadow NOTIFY changed)
    Q_PROPERTY(QColor accentFill READ accentFill NOTIFY changed)
    Q_PROPERTY(QColor warningText READ warningText NOTIFY changed)
    Q_PROPERTY(QColor white READ white NOTIFY changed)
    Q_PROPERTY(QColor black READ black NOTIFY changed)
    Q_PROPERTY(QColor inverseSurface READ inverseSurface NOTIFY changed)
    Q_PROPERTY(QColor inverseText READ inverseText NOTIFY changed)
    Q_PROPERTY(QColor positiveText READ positiveText NOTIFY changed)
    Q_PROPERTY(QColor inverseAccent READ inverseAccent NOTIFY changed)

  public:
    static Colors* forPalette(DesignPalette palette);

    DesignPalette palette() const { return palette_; }
    QString paletteName() const { return rawValue(palette_); }
    QColor color(DesignColorToken token) const;

#define QUILLORY_COLOR_TOKEN(name)            \
    QColor name() const {                     \
        return color(DesignColorToken::name); \
    }
    QUILLORY_COLOR_TOKEN(onAccent)
    QUILLORY_COLOR_TOKEN(accent)
    QUILLORY_COLOR_TOKEN(successText)
    QUILLORY_COLOR_TOKEN(secondaryText)
    QUILLORY_COLOR_TOKEN(controlFill)
    QUILLORY_COLOR_TOKEN(rule)
    QUILLORY_COLOR_TOKEN(destructiveText)
    QUILLORY_COLOR_TOKEN(surface)
    QUILLORY_COLOR_TOKEN(primaryText)
    QUILLORY_COLOR_TOKEN(neutralFill)
    QUILLORY_COLOR_TOKEN(success)
    QUILLORY_COLOR_TOKEN(warning)
    QUILLORY_COLOR_TOKEN(background)
    QUILLORY_COLOR_TOKEN(accentStroke)
    QUILLORY_COLOR_TOKEN(destructive)
    QUILLORY_COLOR_TOKEN(accentText)
    QUILLORY_COLOR_TOKEN(secondaryAccent)
    QUILLORY_COLOR_TOKEN(neutral)
    QUILLORY_COLOR_TOKEN(shadow)
    QUILLORY_COLOR_TOKEN(accentFill)
    QUILLORY_COLOR_TOKEN(warningText)
    QUILLORY_COLOR_TOKEN(white)
    QUILLORY_COLOR_TOKEN(black)
    QUILLORY_COLOR_TOKEN(inverseSurface)
    QUILLORY_COLOR_TOKEN(inverseText)
    QUILLORY_COLOR_TOKEN(positiveText)
    QUILLORY_COLOR_TOKEN(inverseAccent)
#undef QUILLORY_COLOR_TOKEN

  signals:
    void changed();

  private:
    explicit Colors(DesignPalette palette);

    DesignPalette palette_;
};

}  // namespace quillory
