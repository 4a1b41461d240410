#include "design/design_colors.h"

#include <array>

namespace quillory {

namespace {

using Definition = DesignColorDefinition;
using Token = DesignColorToken;

Definition dynamic(std::uint32_t light, std::uint32_t dark) {
    Definition d;
    d.dynamic = {light, dark, std::nullopt, std::nullopt};
    return d;
}

Definition dynamic(std::uint32_t light, std::uint32_t dark, std::uint32_t lightHigh,
                   std::uint32_t darkHigh) {
    Definition d;
    d.dynamic = {light, dark, lightHigh, darkHigh};
    return d;
}

Definition fixed(QColor color) {
    Definition d;
    d.kind = Definition::Kind::fixed;
    d.fixed = color;
    return d;
}

Definition derived(Token base, double opacity) {
    Definition d;
    d.kind = Definition::Kind::derived;
    d.base = base;
    d.opacity = opacity;
    return d;
}

// Most palette-dependent tokens have one value for electric blue and one shared by the others.
Definition blueOrOthers(DesignPalette palette, Definition blue, Definition others) {
    return palette == DesignPalette::electricBlue ? blue : others;
}

Definition perPalette(DesignPalette palette, const std::array<Definition, 5>& values) {
    return values[static_cast<std::size_t>(palette)];
}

}  // namespace

QColor resolveDynamicColor(std::optional<DesignAppearance> appearance,
                           const DesignDynamicColor& color) {
    std::uint32_t rgb = color.light;
    if (appearance) {
        const auto& highContrast =
            appearance->dark ? color.darkHighContrast : color.lightHighContrast;
        if (appearance->highContrast && highContrast) {
            rgb = *highContrast;
        } else {
            rgb = appearance->dark ? color.dark : color.light;
        }
    }
    return QColor::fromRgb(static_cast<int>((rgb >> 16) & 0xFF),
                           static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF));
}

bool isPaletteIndependent(DesignColorToken token) {
    switch (token) {
        case Token::successText:
        case Token::destructiveText:
        case Token::neutralFill:
        case Token::success:
        case Token::warning:
        case Token::destructive:
        case Token::neutral:
        case Token::shadow:
        case Token::warningText:
        case Token::white:
        case Token::black:
        case Token::positiveText:
            return true;
        default:
            return false;
    }
}

DesignColorDefinition designColorDefinition(DesignColorToken token, DesignPalette palette) {
    switch (token) {
        case Token::onAccent:
            return blueOrOthers(palette, fixed(Qt::white), dynamic(0xFFFFFF, 0x191E1A));
        case Token::accent:
            return perPalette(palette, {dynamic(0x345CFF, 0x345CFF, 0x2345D9, 0x2345D9),
                                        dynamic(0x244BBE, 0xAEBEFF, 0x26379C, 0xDEE2FF),
                                        dynamic(0xB8412C, 0xF08A72, 0x8F2919, 0xFFB8A6),
                                        dynamic(0x315BCC, 0x96AEFF, 0x2042A5, 0xC5D2FF),
                                        dynamic(0x27664F, 0x8FC6AC, 0x194C38, 0xBCE9D2)});
        case Token::successText:
        case Token::positiveText:
            return dynamic(0x276548, 0x9ACDAE, 0x18472F, 0xC6F1D5);
        case Token::secondaryText:
            return blueOrOthers(palette, dynamic(0x616161, 0xABABAB, 0x383838, 0xDEDEDE),
                                dynamic(0x566071, 0xB9B9C2, 0x303744, 0xE5E5EB));
        case Token::controlFill:
            return perPalette(palette, {dynamic(0xE8E8E8, 0x303030), dynamic(0xE7E6DF, 0x303640),
                                        dynamic(0xFCFBF7, 0x2B2D29), dynamic(0xFCFDFF, 0x29313F),
                                        dynamic(0xFAFCFA, 0x2A3730)});
        case Token::rule:
            return blueOrOthers(palette, dynamic(0xD5D5D5, 0x3B3B3B, 0x777777, 0x999999),
                                dynamic(0xD3D8E0, 0x414146, 0x697380, 0xA7ADB8));
        case Token::destructiveText:
            return dynamic(0xA52C32, 0xF19A9F, 0x801C22, 0xFFC5C8);
        case Token::surface:
            return perPalette(palette, {dynamic(0xFFFFFF, 0x202020), dynamic(0xFDFCF8, 0x242830),
                                        dynamic(0xF4F2ED, 0x20211F), dynamic(0xF2F4F7, 0x1C222C),
                                        dynamic(0xEFF3F0, 0x1D2722)});
        case Token::primaryText:
            return perPalette(palette, {dynamic(0x181818, 0xF5F5F5, 0x000000, 0xFFFFFF),
                                        dynamic(0x202632, 0xEEEDEB, 0x101014, 0xFFFFFF),
                                        dynamic(0x252724, 0xEEECE6, 0x10120F, 0xFFFFFF),
                                        dynamic(0x202631, 0xECF0F6, 0x10141D, 0xFFFFFF),
                                        dynamic(0x24342C, 0xE6EEE9, 0x101B14, 0xFFFFFF)});
        case Token::neutralFill:
            return dynamic(0xEBEBEE, 0x2B2B2F, 0xD5D5DA, 0x3A3A40);
        case Token::success:
            return dynamic(0x2FB35A, 0x3CCB6A, 0x1D7A3C, 0x7BE39C);
        case Token::warning:
            return dynamic(0xF2A93B, 0xF5B652, 0xB06E00, 0xFFD08A);
        case Token::background:
            return perPalette(palette, {dynamic(0xF3F3F3, 0x151515), dynamic(0xF3F2ED, 0x171A20),
                                        dynamic(0xEEECE6, 0x191B19), dynamic(0xE9EDF3, 0x181D26),
                                        dynamic(0xE7EDE8, 0x18221C)});
        case Token::accentStroke:
            return blueOrOthers(palette, dynamic(0x1937B8, 0x132C9A), derived(Token::accent, 0.65));
        case Token::destructive:
            return dynamic(0xE5484D, 0xFF6369, 0xB3262B, 0xFF9DA1);
        case Token::accentText:
            return blueOrOthers(palette, dynamic(0x345CFF, 0x91ABFF, 0x2345D9, 0xC9D6FF),
                                derived(Token::accent, 1.0));
        case Token::secondaryAccent:
            return blueOrOthers(palette, derived(Token::accentText, 1.0),
                                dynamic(0xAD4D2D, 0xF1A17E, 0x873417, 0xFFC5AB));
        case Token::neutral:
            return dynamic(0xD8D8D8, 0x3A3A3A, 0x777777, 0x999999);
        case Token::shadow:
            return fixed(QColor::fromRgbF(0, 0, 0, 0.14f));
        case Token::accentFill:
            return derived(Token::accent, 0.12);
        case Token::warningText:
            return dynamic(0x805305, 0xECC273, 0x5C3900, 0xFFE0A2);
        case Token::white:
            return fixed(Qt::white);
        case Token::black:
            return fixed(Qt::black);
        case Token::inverseSurface:
            return blueOrOthers(palette, dynamic(0x202020, 0x202020), dynamic(0x202534, 0x10121A));
        case Token::inverseText:
            return blueOrOthers(palette, dynamic(0xF5F5F5, 0xF5F5F5),
                                fixed(QColor::fromRgbF(0.96f, 0.95f, 0.92f)));
        case Token::inverseAccent:
            return blueOrOthers(palette, dynamic(0x91ABFF, 0x91ABFF),
                                fixed(QColor::fromRgbF(0.70f, 0.75f, 1.00f)));
    }
    return fixed(Qt::black);
}

QColor resolveColor(DesignColorToken token, DesignPalette palette,
                    std::optional<DesignAppearance> appearance) {
    const Definition definition = designColorDefinition(token, palette);
    switch (definition.kind) {
        case Definition::Kind::dynamic:
            return resolveDynamicColor(appearance, definition.dynamic);
        case Definition::Kind::fixed:
            return definition.fixed;
        case Definition::Kind::derived: {
            QColor color = resolveColor(definition.base, palette, appearance);
            color.setAlphaF(static_cast<float>(color.alphaF() * definition.opacity));
            return color;
        }
    }
    return Qt::black;
}

}  // namespace quillory
