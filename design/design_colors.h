#pragma once

#include <QColor>
#include <cstdint>
#include <optional>

#include "design/design_theme.h"

namespace quillory {

// Declaration order of the colour vocabulary.
enum class DesignColorToken {
    onAccent,
    accent,
    successText,
    secondaryText,
    controlFill,
    rule,
    destructiveText,
    surface,
    primaryText,
    neutralFill,
    success,
    warning,
    background,
    accentStroke,
    destructive,
    accentText,
    secondaryAccent,
    neutral,
    shadow,
    accentFill,
    warningText,
    white,
    black,
    inverseSurface,
    inverseText,
    positiveText,
    inverseAccent,
};
inline constexpr int designColorTokenCount = 27;

// The appearance a colour is drawn for; an unknown appearance draws the light value.
struct DesignAppearance {
    bool dark = false;
    bool highContrast = false;
};

// Four 0xRRGGBB values; an absent high-contrast value falls back to the plain one of the same
// brightness.
struct DesignDynamicColor {
    std::uint32_t light = 0;
    std::uint32_t dark = 0;
    std::optional<std::uint32_t> lightHighContrast;
    std::optional<std::uint32_t> darkHighContrast;
};

QColor resolveDynamicColor(std::optional<DesignAppearance> appearance,
                           const DesignDynamicColor& color);

// What a token is for one palette: a dynamic colour, a colour fixed in every appearance, or
// another token at an opacity.
struct DesignColorDefinition {
    enum class Kind { dynamic, fixed, derived };
    Kind kind = Kind::dynamic;
    DesignDynamicColor dynamic;
    QColor fixed;
    DesignColorToken base = DesignColorToken::accent;
    double opacity = 1.0;
};

DesignColorDefinition designColorDefinition(DesignColorToken token, DesignPalette palette);
bool isPaletteIndependent(DesignColorToken token);

QColor resolveColor(DesignColorToken token, DesignPalette palette,
                    std::optional<DesignAppearance> appearance);

}  // namespace quillory
