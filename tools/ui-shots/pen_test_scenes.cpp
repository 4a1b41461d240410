#include "tools/ui-shots/pen_test_scenes.h"

#include "app/interface/ink/testing/recorded_strokes.h"

namespace quillory {

const std::vector<PenTestScene>& penTestScenes() {
    static const std::vector<PenTestScene> scenes = {
        {"pen-test-offline", false},
        {"pen-test-connected"},
        {"pen-test-pressure-0", true, true, 0},
        {"pen-test-pressure-37", true, true, 0.374},
        {"pen-test-pressure-100", true, true, 1},
        {"pen-test-no-dots", true, true, 0.5, false},
        {"pen-test-portrait", true, true, 0.5, true, {1080, 1920}, {720, 1280}},
    };
    return scenes;
}

const std::vector<PenSample>& penTestStrokes() {
    static const std::vector<PenSample> samples = [] {
        auto recorded = recordedStrokes(900, 11, 150);
        constexpr int steps = 20;
        for (int i = 0; i <= steps; ++i) {
            PenSample sample;
            sample.phase = i == 0       ? PenSample::Phase::began
                           : i == steps ? PenSample::Phase::ended
                                        : PenSample::Phase::moved;
            sample.x = 0.1 + 0.2 * i / steps;
            sample.y = 0.5;
            sample.pressure = 1;
            recorded.push_back(sample);
        }
        return recorded;
    }();
    return samples;
}

}  // namespace quillory
