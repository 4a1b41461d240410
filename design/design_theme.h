#pragma once

#include <QString>
#include <array>
#include <optional>

namespace quillory {

// Declaration order is the order palette pickers list them. QML names palettes by raw value
// (`Design.palette: "paper"`).
enum class DesignPalette { electricBlue, graphite, paper, cobalt, pine };

// phosphor: the module's own glyphs. systemSymbols: the desktop's icon theme.
enum class AppIconFamily { phosphor, systemSymbols };

inline constexpr std::array<DesignPalette, 5> allDesignPalettes = {
    DesignPalette::electricBlue, DesignPalette::graphite, DesignPalette::paper,
    DesignPalette::cobalt, DesignPalette::pine};

QString rawValue(DesignPalette palette);
QString title(DesignPalette palette);
// Exact, case-sensitive match of a raw value.
std::optional<DesignPalette> designPaletteFromRawValue(const QString& raw);

QString rawValue(AppIconFamily family);
std::optional<AppIconFamily> appIconFamilyFromRawValue(const QString& raw);

struct DesignTheme {
    DesignPalette palette = DesignPalette::electricBlue;
    AppIconFamily icons = AppIconFamily::phosphor;

    static const DesignTheme standard;

    friend bool operator==(const DesignTheme&, const DesignTheme&) = default;
};

inline constexpr DesignTheme DesignTheme::standard{DesignPalette::electricBlue,
                                                   AppIconFamily::phosphor};

}  // namespace quillory
