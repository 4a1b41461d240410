#include <benchmark/benchmark.h>

#include "media/studio_operating_point_policy.h"
#include "media/tests/studio_test_fixtures.h"

namespace quillory {
namespace {

StudioAdaptationObservation observationAt(double now, const StudioOperatingPoint& point) {
    StudioEncoderFeedback f = testing::feedbackAt(now);
    f.bitrate = 12'000'000;
    f.width = point.size.width;
    f.height = point.size.height;
    f.framesPerSecond = point.framesPerSecond;
    return StudioAdaptationObservation(f, testing::intervalEnding(now - 0.05));
}

// One observation of a healthy stream with a full evidence window: the step the control queue
// runs once a second.
void BM_PolicyObserve(benchmark::State& state) {
    StudioOperatingPointPolicy policy(StudioPreset::balanced, 2388, 1668, 0.0);
    double now = 0.0;
    policy.markApplied(policy.target(), 0.1);
    for (int k = 0; k < 30; ++k) {
        now += 1.0;
        if (const auto changed = policy.observe(observationAt(now, policy.target()), now)) {
            policy.markApplied(*changed, now + 0.1);
        }
    }
    for (auto _ : state) {
        now += 1.0;
        const StudioAdaptationObservation observation = observationAt(now, policy.target());
        benchmark::DoNotOptimize(policy.observe(observation, now));
    }
    state.counters["candidates"] = static_cast<double>(policy.candidates().size());
}
BENCHMARK(BM_PolicyObserve);

// Building the candidate list, done once per stream configuration.
void BM_MakeCandidates(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            StudioOperatingPointPolicy::makeCandidates(2388, 1668, StudioPreset::balanced));
    }
}
BENCHMARK(BM_MakeCandidates);

}  // namespace
}  // namespace quillory
