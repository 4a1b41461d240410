#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace quillory {

// The sizes the hicolor theme gets as pictures.
const std::vector<int>& appIconSizes();
// Below this size the simplified drawing is used: the full one blurs into the tile.
inline constexpr int appIconSmallLimit = 24;

// The compiled-in drawing for a size (quillory_interface's resources).
QString appIconResource(int size);

// The SVG drawn at size × size, transparent around it; a null image when it cannot be read.
QImage renderAppIcon(const QString& svgPath, int size);

// Writes <folder>/<n>x<n>/apps/quillory.png for every size and scalable/apps/quillory.svg;
// false with the reason when something could not be read or written.
bool writeHicolorIcons(const QString& svgPath, const QString& smallSvgPath, const QString& folder,
                       QString& error);

}  // namespace quillory
