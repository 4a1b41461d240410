#pragma once

#include <cstdint>
#include <vector>

#include "protocol/pen_sample.h"

namespace quillory {

// One sample at a point of the drawing area.
PenSample penSample(PenSample::Phase phase, double x, double y, double pressure = 0.5);

// A reproducible pen history like a tablet's: strokes of about `strokeLength` samples at 240 Hz
// spacing (began, moved..., ended), wandering across the canvas with varying pressure.
std::vector<PenSample> recordedStrokes(std::size_t count, std::uint32_t seed,
                                       std::size_t strokeLength = 200);

}  // namespace quillory
