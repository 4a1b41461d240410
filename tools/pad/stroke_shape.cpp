#include "tools/pad/stroke_shape.h"

#include <cmath>
#include <numbers>

namespace quillory::pad {

std::vector<PenSample> strokeShape(unsigned index) {
    std::vector<PenSample> samples(samplesPerStroke);
    const double row = 0.2 + 0.12 * (index % 6);
    for (unsigned step = 0; step < samplesPerStroke; ++step) {
        const double t = static_cast<double>(step) / (samplesPerStroke - 1);
        auto& sample = samples[step];
        sample.phase = step == 0                      ? PenSample::Phase::began
                       : step + 1 == samplesPerStroke ? PenSample::Phase::ended
                                                      : PenSample::Phase::moved;
        sample.x = 0.15 + 0.7 * t;
        sample.y = row + 0.05 * std::sin(t * 2 * std::numbers::pi);
        // Pressure rises and falls like a real stroke; the pen leans less as it presses.
        sample.pressure = 0.15 + 0.75 * std::sin(t * std::numbers::pi);
        sample.altitude = 0.6 + 0.6 * sample.pressure;
        sample.azimuth = std::numbers::pi / 4 + t * std::numbers::pi / 2;
    }
    return samples;
}

}  // namespace quillory::pad
