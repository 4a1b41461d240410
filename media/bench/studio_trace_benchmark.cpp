#include <benchmark/benchmark.h>

#include "media/studio_performance_trace.h"
#include "platform/clock/clock.h"

namespace quillory {
namespace {

using Stage = StudioPerformanceTrace::Stage;

StudioPerformanceTrace& sharedTrace() {
    static StudioPerformanceTrace trace(StudioPerformanceTrace::maximumCapacity,
                                        StudioPerformanceTrace::maximumStartupCapacity, 0.0);
    return trace;
}

// One encoder event as the encoder path records it, with every thread of the run recording into
// the same full ring at once; the time is the latency of one call as a recorder sees it.
void BM_TraceRecord(benchmark::State& state) {
    StudioPerformanceTrace& trace = sharedTrace();
    const Uuid epoch = Uuid::random();
    std::uint64_t serial = static_cast<std::uint64_t>(state.thread_index()) << 40;
    for (auto _ : state) {
        ++serial;
        trace.record(Stage::encodedOutput,
                     {.fields{.submissionID = serial,
                              .rtpTimestamp = static_cast<std::uint32_t>(serial * 1500),
                              .captureTimestampNs = static_cast<std::int64_t>(serial * 16'666'667),
                              .serial = serial,
                              .epoch = epoch,
                              .width = 1920,
                              .height = 1080,
                              .value = 4.2,
                              .keyframe = false}},
                     uptimeSeconds());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TraceRecord)->Threads(1)->Threads(2)->Threads(8)->UseRealTime();

// A startup-stage event, which is also copied into the startup list (full after the first 256).
void BM_TraceRecordStartupStage(benchmark::State& state) {
    StudioPerformanceTrace& trace = sharedTrace();
    for (auto _ : state) {
        trace.record(Stage::bitrateRequest, {.fields{.value = 8e6}}, 1.0);
    }
}
BENCHMARK(BM_TraceRecordStartupStage)->Threads(8)->UseRealTime();

void BM_TraceSnapshot(benchmark::State& state) {
    StudioPerformanceTrace& trace = sharedTrace();
    for (std::uint64_t serial = 0; serial < StudioPerformanceTrace::maximumCapacity; ++serial) {
        trace.record(Stage::capture, {.fields{.serial = serial}}, 1.0);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(trace.snapshot());
    }
}
BENCHMARK(BM_TraceSnapshot);

}  // namespace
}  // namespace quillory
