// What the pen test canvas costs the GUI thread on a 760 x 427.5 canvas (a 16:9 display):
// one frame's batch, a full rebuild, and a frame at the history's limit, where the rebuild the
// dropped front needs runs on the raster's queue.
#include <benchmark/benchmark.h>

#include "app/interface/ink/ink_raster.h"
#include "app/interface/ink/testing/recorded_strokes.h"
#include "platform/dispatch/serial_queue.h"

namespace quillory {
namespace {

constexpr std::size_t limit = 12000;
constexpr std::size_t batch = 4;  // 240 Hz at 60 frames a second

InkLook look(benchmark::State& state) {
    return {QSizeF(760, 427.5), static_cast<double>(state.range(0)), true, QColor(0xd9, 0xdc, 0xe3),
            QColor(0x1a, 0x1c, 0x22)};
}

const std::vector<PenSample>& history() {
    static const auto samples = recordedStrokes(limit + 200'000, 26);
    return samples;
}

InkHistory window(std::size_t end, std::size_t size) {
    return {std::span(history()).subspan(end - size, size), end, 1};
}

// Appends one frame's batch per iteration; at the limit as many samples leave the front.
void frames(benchmark::State& state, InkRaster& raster, bool atLimit) {
    std::size_t end = limit;
    raster.update(window(end, limit), look(state));
    for (auto _ : state) {
        if (end + batch > history().size()) {
            state.SkipWithError("history exhausted");
            break;
        }
        end += batch;
        raster.update(window(end, atLimit ? limit : end), look(state));
    }
}

void frameBatch(benchmark::State& state) {
    InkRaster raster;
    frames(state, raster, false);
}
BENCHMARK(frameBatch)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5000)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// A new generation with the history full, as after a palette change: the raster's kept caps
// and grid are reused.
void fullRebuild(benchmark::State& state) {
    InkRaster raster;
    InkHistory full = window(limit, limit);
    raster.update(full, look(state));
    for (auto _ : state) {
        ++full.generation;
        raster.update(full, look(state));
    }
}
BENCHMARK(fullRebuild)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// 4 appended and 4 dropped every frame; the time is the GUI thread's update only.
void frameAtLimit(benchmark::State& state) {
    InkRaster raster(std::make_shared<SerialQueue>("app.quillory.ink"));
    frames(state, raster, true);
    state.counters["rebuiltHere"] = static_cast<double>(raster.rebuildsHere());
}
BENCHMARK(frameAtLimit)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5000)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

}  // namespace
}  // namespace quillory
