#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/desktop-control/desktop_input_worker.h"
#include "platform/desktop/testing/fake_desktop.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/input/desktop_control_access.h"
#include "platform/keyboard/keymap.h"

namespace quillory {
namespace {

// Counts events; the benchmark spins on the count so that waking it adds nothing to the path.
class CountingSink final : public InputEventSink {
  public:
    void post(const InputEvent&) override { count.fetch_add(1, std::memory_order_release); }
    std::atomic<std::size_t> count{0};
};

// From submit(samples:connection:) on the calling thread to the batch's last event in the sink.
void measure(
    benchmark::State& state, std::shared_ptr<Desktop> desktop,
    std::function<bool()> accessGranted = [] { return true; }) {
    constexpr std::size_t batchSize = 8;
    auto sink = std::make_shared<CountingSink>();
    DesktopInputEnvironment environment;
    environment.sink = sink;
    environment.layout = std::make_shared<KeyboardLayout>(Keymap::fromNames("us").value());
    environment.desktop = std::move(desktop);
    environment.clock = std::make_shared<SystemClock>();
    environment.accessGranted = std::move(accessGranted);
    auto worker = DesktopInputWorker::create(std::move(environment));
    const Uuid connection = Uuid::random();
    worker->attach(connection);
    worker->configure([&] { worker->setEnabled(true); });

    std::uint64_t sequence = 1;
    const auto make = [&](PenSample::Phase phase) {
        PenSample sample;
        sample.sequence = sequence;
        sample.phase = phase;
        sample.x = static_cast<double>(sequence % 1000) / 1000;
        sample.y = 0.5;
        sample.pressure = 0.5;
        sample.altitude = 1.0;
        sample.timestamp = static_cast<double>(sequence++) / 240;
        return sample;
    };
    worker->submit({make(PenSample::Phase::began)}, connection);
    worker->drain();

    std::vector<double> perSample;
    for (auto _ : state) {
        std::vector<PenSample> batch;
        for (std::size_t i = 0; i < batchSize; ++i) {
            batch.push_back(make(PenSample::Phase::moved));
        }
        const std::size_t target = sink->count.load() + batchSize;
        const auto start = std::chrono::steady_clock::now();
        worker->submit(std::move(batch), connection);
        while (sink->count.load(std::memory_order_acquire) < target) {
        }
        const std::chrono::duration<double, std::micro> elapsed =
            std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count() / 1e6);
        perSample.push_back(elapsed.count() / batchSize);
    }
    worker->shutdown();
    std::sort(perSample.begin(), perSample.end());
    if (!perSample.empty()) {
        state.counters["median_us_per_sample"] = perSample[perSample.size() / 2];
        state.counters["p99_us_per_sample"] = perSample[perSample.size() * 99 / 100];
    }
}
void submitToLastEvent(benchmark::State& state) {
    measure(state, std::make_shared<FakeDesktop>());
}
BENCHMARK(submitToLastEvent)->UseManualTime()->Iterations(20000);

// The same with the X server answering the display check of every batch.
void submitToLastEventOnX11(benchmark::State& state) {
    auto desktop = X11Desktop::connect(nullptr);
    if (!desktop) {
        state.SkipWithError("no X server: set DISPLAY");
        return;
    }
    measure(state, std::move(desktop).value());
}
BENCHMARK(submitToLastEventOnX11)->UseManualTime()->Iterations(5000);

// The same with this machine's desktop-control access check asked for every batch.
void submitToLastEventWithAccessCheck(benchmark::State& state) {
    auto access = std::make_shared<const DesktopControlAccess>();
    if (!access->isGranted()) {
        state.SkipWithError(("no desktop control access: " + access->explanation()).c_str());
        return;
    }
    measure(state, std::make_shared<FakeDesktop>(), [access] { return access->isGranted(); });
}
BENCHMARK(submitToLastEventWithAccessCheck)->UseManualTime()->Iterations(20000);

}  // namespace
}  // namespace quillory
