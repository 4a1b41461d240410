#pragma once

#include <QRect>
#include <QRegion>
#include <QSize>

namespace quillory {

// Where the status panel goes: centred on the anchor (the tray icon, or the pointer), below it
// when the anchor lies in the upper half of `available`, above it otherwise, `margin` pixels away
// from it and kept `margin` pixels inside `available`. When the panel does not fit, the edge
// away from the anchor wins (the right edge horizontally), so it grows away from the bar.
QRect panelRect(QRect anchor, QRect available, QSize size, int margin = 6);

// A rounded rectangle as a window mask: what stays of a window without a compositing manager.
QRegion roundedRegion(QRect rect, int radius);

}  // namespace quillory
