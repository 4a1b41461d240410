#include "design/design_colors.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

constexpr DesignAppearance light{false, false};
constexpr DesignAppearance dark{true, false};
constexpr DesignAppearance lightHigh{false, true};
constexpr DesignAppearance darkHigh{true, true};

TEST(DesignColors, DynamicColourPicksTheVariantOfTheAppearance) {
    const DesignDynamicColor full{0x111111, 0x222222, 0x333333, 0x444444};
    EXPECT_EQ(resolveDynamicColor(light, full), QColor(0x111111));
    EXPECT_EQ(resolveDynamicColor(dark, full), QColor(0x222222));
    EXPECT_EQ(resolveDynamicColor(lightHigh, full), QColor(0x333333));
    EXPECT_EQ(resolveDynamicColor(darkHigh, full), QColor(0x444444));
    // Unknown appearance: the light value.
    EXPECT_EQ(resolveDynamicColor(std::nullopt, full), QColor(0x111111));

    // Without high-contrast values the plain value of the same brightness applies.
    const DesignDynamicColor plain{0x111111, 0x222222, std::nullopt, std::nullopt};
    EXPECT_EQ(resolveDynamicColor(lightHigh, plain), QColor(0x111111));
    EXPECT_EQ(resolveDynamicColor(darkHigh, plain), QColor(0x222222));
    // One variant present does not leak into the other brightness.
    const DesignDynamicColor onlyDark{0x111111, 0x222222, std::nullopt, 0x444444};
    EXPECT_EQ(resolveDynamicColor(lightHigh, onlyDark), QColor(0x111111));
    EXPECT_EQ(resolveDynamicColor(darkHigh, onlyDark), QColor(0x444444));
}

TEST(DesignColors, DerivedTokensFollowTheirBase) {
    using T = DesignColorToken;
    for (auto appearance : {light, dark, lightHigh, darkHigh}) {
        const QColor accent = resolveColor(T::accent, DesignPalette::paper, appearance);
        const QColor stroke = resolveColor(T::accentStroke, DesignPalette::paper, appearance);
        EXPECT_EQ(stroke.rgb(), accent.rgb());
        EXPECT_NEAR(stroke.alphaF(), 0.65, 0.005);
        EXPECT_EQ(resolveColor(T::accentText, DesignPalette::paper, appearance), accent);
    }
}

TEST(DesignColors, PaletteIndependentTokensIgnoreThePalette) {
    for (int i = 0; i < designColorTokenCount; ++i) {
        const auto token = static_cast<DesignColorToken>(i);
        if (!isPaletteIndependent(token)) {
            continue;
        }
        for (auto appearance : {light, dark, lightHigh, darkHigh}) {
            const QColor reference = resolveColor(token, DesignPalette::electricBlue, appearance);
            for (DesignPalette palette : allDesignPalettes) {
                EXPECT_EQ(resolveColor(token, palette, appearance), reference) << i;
            }
        }
    }
}

TEST(DesignTheme, PaletteNamesMatchExactly) {
    EXPECT_EQ(designPaletteFromRawValue("Paper"), std::nullopt);
    for (DesignPalette palette : allDesignPalettes) {
        EXPECT_EQ(designPaletteFromRawValue(rawValue(palette)), palette);
    }
}

}  // namespace
}  // namespace quillory
