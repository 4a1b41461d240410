#pragma once

#include <QString>

namespace quillory {

// Renders the gallery for every palette in light, dark and increased contrast, and every button
// style at rest, hovered, pressed and disabled, as PNG files in `directory`. Returns the number
// of files written, or -1 after reporting why nothing could be written.
int writeGalleryShots(const QString& directory);

}  // namespace quillory
