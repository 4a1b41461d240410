#pragma once

#include <vector>

#include "protocol/pen_sample.h"

namespace quillory::pad {

// Strokes are drawn at the rate of a real stylus.
constexpr double samplesPerSecond = 240;
constexpr unsigned samplesPerStroke = 60;  // a quarter of a second

// The samples of stroke `index`: a wave across the drawing area that presses in and lifts off,
// with the pen tilting and turning. Sequence and timestamp are left for the sender to stamp.
std::vector<PenSample> strokeShape(unsigned index);

}  // namespace quillory::pad
