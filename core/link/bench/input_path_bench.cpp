// One sealed "input" line of 8 samples written by the tablet until the samples reach the host's
// receiver on the transport queue.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

#include "core/link/testing/ready_host.h"

using namespace quillory;
using namespace quillory::testing;

namespace {

using Clock = std::chrono::steady_clock;

void InputLineToReceiver(benchmark::State& state) {
    std::atomic<std::int64_t> delivered{0};
    ReadyHost host([&delivered](const std::vector<PenSample>&) {
        delivered.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
    });
    if (const auto failure = host.open()) {
        state.SkipWithError(failure->c_str());
        return;
    }
    SessionPayload payload;
    payload.kind = SessionPayload::Kind::input;
    payload.samples = std::vector<PenSample>(8);
    for (std::size_t index = 0; index < payload.samples->size(); ++index) {
        auto& sample = (*payload.samples)[index];
        sample.phase = PenSample::Phase::moved;
        sample.x = 0.4 + 0.01 * static_cast<double>(index);
        sample.y = 0.6;
        sample.pressure = 0.35;
        sample.altitude = 1.1;
        sample.azimuth = 0.7;
        sample.timestamp = 100.0 + 0.004 * static_cast<double>(index);
    }
    std::vector<double> latencies;
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& sample : *payload.samples) {
            sample.sequence += 8;
        }
        payload.counter = host.pad->sealer.next();
        const auto line = host.pad->sealedLine(payload.encode());
        delivered.store(0, std::memory_order_relaxed);
        state.ResumeTiming();
        const auto start = Clock::now();
        host.pad->raw.write(line);
        std::int64_t done = 0;
        while ((done = delivered.load(std::memory_order_acquire)) == 0) {
        }
        const auto elapsed = Clock::time_point(Clock::duration(done)) - start;
        latencies.push_back(std::chrono::duration<double, std::micro>(elapsed).count());
    }
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["median_us"] = latencies[latencies.size() / 2];
        state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
    }
}

}  // namespace

BENCHMARK(InputLineToReceiver)->Iterations(20000)->Unit(benchmark::kMicrosecond);
