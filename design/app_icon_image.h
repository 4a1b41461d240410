#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace quillory {

// The sizes the application icon is drawn at for the hicolor theme and the window icon.
const std::vector<int>& appIconSizes();
// Below this size the simplified drawing is used: the full one blurs into the tile.
inline constexpr int appIconSmallLimit = 24;

// The compiled-in drawing for a size (the interface module's resources).
QString appIconResource(int size);

// The SVG drawn at size × size, transparent around it; a null image when it cannot be read.
QImage renderAppIcon(const QString& svgPath, int size);

}  // namespace quillory
