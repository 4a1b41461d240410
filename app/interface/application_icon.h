#pragma once

#include <QIcon>

namespace quillory {

// The application icon for windows, drawn from the compiled-in SVGs at the hicolor sizes (the
// simplified drawing below 24 px), so that it needs no SVG icon engine plugin.
// For QGuiApplication::setWindowIcon in the entry.
QIcon applicationIcon();

}  // namespace quillory
