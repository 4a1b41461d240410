#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace quillory {

// A picture the windows name directly by its system symbol name, outside the icon roles.
struct Symbol {
    const char* name;   // "xmark"
    const char* asset;  // the glyph's file name without ".svg"
};

inline constexpr std::array<Symbol, 12> symbols = {{
    {"xmark", "phosphor-x-bold"},
    {"power", "phosphor-power"},
    {"arrow.triangle.2.circlepath", "phosphor-arrows-clockwise"},
    {"arrow.down", "phosphor-download-simple"},
    {"hand.point.up.left.fill", "phosphor-hand-pointing-fill"},
    {"rectangle.on.rectangle", "phosphor-cards"},
    {"checkmark.circle.fill", "phosphor-check-circle-fill"},
    {"checkmark", "phosphor-check-bold"},
    {"circle.grid.3x3.fill", "phosphor-dots-nine-fill"},
    {"circle.grid.3x3", "phosphor-dots-nine"},
    {"eraser", "phosphor-eraser"},
    {"app.dashed", "phosphor-selection"},
}};

// The glyph file of a symbol name; an unknown name is logged once and has none.
std::optional<QString> symbolAsset(const QString& name);

// Unknown symbol names logged so far, once each, sorted.
QStringList reportedUnknownSymbols();

}  // namespace quillory
