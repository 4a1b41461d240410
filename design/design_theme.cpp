#include "design/design_theme.h"

namespace quillory {

namespace {

struct PaletteNames {
    DesignPalette palette;
    const char* raw;
    const char* title;
};

constexpr PaletteNames paletteNames[] = {
    {DesignPalette::electricBlue, "electricBlue", "Electric Blue"},
    {DesignPalette::graphite, "graphite", "Graphite"},
    {DesignPalette::paper, "paper", "Paper / Vermilion"},
    {DesignPalette::cobalt, "cobalt", "Chalk / Cobalt"},
    {DesignPalette::pine, "pine", "Mist / Pine"},
};

const PaletteNames& namesOf(DesignPalette palette) {
    return paletteNames[static_cast<int>(palette)];
}

}  // namespace

QString rawValue(DesignPalette palette) {
    return QString::fromLatin1(namesOf(palette).raw);
}

QString title(DesignPalette palette) {
    return QString::fromUtf8(namesOf(palette).title);
}

std::optional<DesignPalette> designPaletteFromRawValue(const QString& raw) {
    for (const auto& names : paletteNames) {
        if (raw == QLatin1String(names.raw)) {
            return names.palette;
        }
    }
    return std::nullopt;
}

QString rawValue(AppIconFamily family) {
    return family == AppIconFamily::phosphor ? QStringLiteral("phosphor")
                                             : QStringLiteral("systemSymbols");
}

std::optional<AppIconFamily> appIconFamilyFromRawValue(const QString& raw) {
    for (AppIconFamily family : {AppIconFamily::phosphor, AppIconFamily::systemSymbols}) {
        if (raw == rawValue(family)) {
            return family;
        }
    }
    return std::nullopt;
}

}  // namespace quillory
