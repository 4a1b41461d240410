#pragma once

#include <QSize>
#include <QSizeF>
#include <vector>

#include "protocol/pen_sample.h"

namespace quillory {

// The pen test window in the states a user meets: who is connected, what was drawn, where the
// pen is and how hard it presses.
struct PenTestScene {
    const char* name;
    bool connected = true;
    bool strokes = false;
    double pressure = -1;  // the pen's pressure at the pointer; negative: no pointer
    bool grid = true;
    QSize mainDisplay{1920, 1080};
    QSizeF available{1920, 1040};  // the screen's available geometry
};

const std::vector<PenTestScene>& penTestScenes();

// A recorded history: wandering strokes, then the probe stroke, a full-pressure horizontal line
// from (0.1, 0.5) to (0.3, 0.5) of the canvas.
const std::vector<PenSample>& penTestStrokes();

}  // namespace quillory
