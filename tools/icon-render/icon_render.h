#pragma once

#include <QString>

#include "design/app_icon_image.h"

namespace quillory {

// Writes <folder>/<n>x<n>/apps/quillory.png for every size and scalable/apps/quillory.svg;
// false with the reason when something could not be read or written.
bool writeHicolorIcons(const QString& svgPath, const QString& smallSvgPath, const QString& folder,
                       QString& error);

}  // namespace quillory
