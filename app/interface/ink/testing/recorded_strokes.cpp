#include "app/interface/ink/testing/recorded_strokes.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace quillory {

PenSample penSample(PenSample::Phase phase, double x, double y, double pressure) {
    PenSample sample;
    sample.phase = phase;
    sample.x = x;
    sample.y = y;
    sample.pressure = pressure;
    return sample;
}

std::vector<PenSample> recordedStrokes(std::size_t count, std::uint32_t seed,
                                       std::size_t strokeLength) {
    using Phase = PenSample::Phase;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<PenSample> samples;
    samples.reserve(count);
    std::uint64_t sequence = 1;
    while (samples.size() < count) {
        const auto length = static_cast<std::size_t>(static_cast<double>(strokeLength) *
                                                     (0.75 + 0.5 * unit(random)));
        double x = 0.1 + 0.8 * unit(random);
        double y = 0.1 + 0.8 * unit(random);
        double heading = 2 * std::numbers::pi * unit(random);
        // About a third of the canvas per second, turning gently.
        const double speed = 0.33 / 240;
        const double turn = (unit(random) - 0.5) * 0.05;
        const double phase = 2 * std::numbers::pi * unit(random);
        for (std::size_t i = 0; i < length && samples.size() < count; ++i) {
            PenSample sample;
            sample.sequence = sequence++;
            sample.phase = i == 0 ? Phase::began : i + 1 == length ? Phase::ended : Phase::moved;
            sample.x = std::clamp(x, 0.0, 1.0);
            sample.y = std::clamp(y, 0.0, 1.0);
            sample.pressure =
                std::clamp(0.5 + 0.4 * std::sin(phase + static_cast<double>(i) * 0.05), 0.0, 1.0);
            sample.timestamp = static_cast<double>(sample.sequence) / 240;
            samples.push_back(sample);
            heading += turn;
            x += speed * std::cos(heading);
            y += speed * std::sin(heading);
            if (x < 0.05 || x > 0.95 || y < 0.05 || y > 0.95) {
                heading += std::numbers::pi / 2;
            }
        }
    }
    return samples;
}

}  // namespace quillory
