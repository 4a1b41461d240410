// The host's share of the pen path in one process: a sealed "input" line of one sample written
// into the loopback socket until the XTest sink has flushed the last event of its sample, through
// the real channel, the session's receivers and the desktop input worker, and the time of each hop
// on the way. Run under an X server.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/desktop-control/desktop_input_environment.h"
#include "app/desktop-control/desktop_input_worker.h"
#include "app/session/session_input_receivers.h"
#include "core/link/testing/ready_host.h"
#include "platform/dispatch/pen_path_marks.h"

namespace quillory {
namespace {

using Clock = std::chrono::steady_clock;

// Passes every event on and stamps when the sink's post and flush returned; the benchmark spins
// on the flush count so that waking it adds nothing to the path.
class StampingSink final : public InputEventSink {
  public:
    explicit StampingSink(std::shared_ptr<InputEventSink> inner) : inner_(std::move(inner)) {}
    void post(const InputEvent& event) override {
        inner_->post(event);
        posted.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
        count.fetch_add(1, std::memory_order_release);
    }
    void flush() override {
        inner_->flush();
        flushedAt.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
        flushes.fetch_add(1, std::memory_order_release);
    }
    std::atomic<std::size_t> count{0};
    std::atomic<std::size_t> flushes{0};
    std::atomic<Clock::rep> posted{0};
    std::atomic<Clock::rep> flushedAt{0};

  private:
    std::shared_ptr<InputEventSink> inner_;
};

// The latest time each mark of the path was passed.
std::array<std::atomic<Clock::rep>, 5> marks{};

void recordMark(PenPathMark mark) {
    marks[static_cast<std::size_t>(mark)].store(Clock::now().time_since_epoch().count(),
                                                std::memory_order_relaxed);
}

Clock::rep markOf(PenPathMark mark) {
    return marks[static_cast<std::size_t>(mark)].load(std::memory_order_relaxed);
}

PenSample sampleAt(std::uint64_t sequence, PenSample::Phase phase) {
    PenSample sample;
    sample.sequence = sequence;
    sample.phase = phase;
    // A new point each time, so that no event is skipped as a repeat.
    sample.x = 0.1 + 0.8 * static_cast<double>(sequence % 997) / 997;
    sample.y = 0.1 + 0.8 * static_cast<double>(sequence % 499) / 499;
    sample.pressure = 0.4;
    sample.altitude = 1.1;
    sample.azimuth = 0.7;
    sample.timestamp = static_cast<double>(sequence) / 240;
    return sample;
}

void SealedLineToXTestEvent(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X server: set DISPLAY");
        return;
    }
    DesktopInputEnvironment environment = DesktopInputEnvironment::system();
    if (environment.backend.kind != InputBackendKind::xtest) {
        state.SkipWithError(
            ("the input backend is not XTest: " + environment.backend.reason).c_str());
        return;
    }
    auto sink = std::make_shared<StampingSink>(environment.sink);
    environment.sink = sink;
    auto worker = DesktopInputWorker::create(std::move(environment));
    const Uuid connection = Uuid::random();

    testing::ReadyHost host;
    if (const auto failure = host.open()) {
        state.SkipWithError(failure->c_str());
        return;
    }
    worker->attach(connection);
    worker->configure([&] { worker->setEnabled(true); });
    const auto receivers = SessionInputReceivers::make(worker, connection, {});
    // Stamps the hand-over to the worker and its return, to tell the channel's share from the
    // worker's.
    std::atomic<Clock::rep> handedOver{0};
    std::atomic<Clock::rep> queued{0};
    host.channel->setInputReceivers(
        [&handedOver, &queued, samples = receivers.samples](const std::vector<PenSample>& batch) {
            handedOver.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
            samples(batch);
            queued.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
        },
        receivers.action, receivers.cancelled, receivers.ended);

    std::uint64_t sequence = 1;
    auto lineOf = [&](PenSample::Phase phase) {
        SessionPayload payload;
        payload.kind = SessionPayload::Kind::input;
        payload.samples = std::vector<PenSample>{sampleAt(sequence++, phase)};
        payload.counter = host.pad->sealer.next();
        return host.pad->sealedLine(payload.encode());
    };
    // How many events one moved sample gives, once the pen is down.
    auto sendAndSettle = [&](PenSample::Phase phase) {
        const std::size_t before = sink->count.load(std::memory_order_acquire);
        host.pad->raw.write(lineOf(phase));
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (sink->count.load(std::memory_order_acquire) == before && Clock::now() < deadline) {
        }
        worker->drain();
        return sink->count.load(std::memory_order_acquire) - before;
    };
    sendAndSettle(PenSample::Phase::began);
    const std::size_t perSample = sendAndSettle(PenSample::Phase::moved);
    if (perSample == 0) {
        state.SkipWithError("a moved sample gave no event: is desktop control enabled?");
        return;
    }

    // Each hop from the stamp before it; the last one ends where the whole path does.
    struct Hop {
        const char* name;
        std::function<Clock::rep()> at;
        std::vector<double> spans;
    };
    Clock::rep start = 0;
    std::vector<Hop> hops;
    hops.push_back(
        {"socket readable, transport queue woke", [] { return markOf(PenPathMark::readable); }});
    hops.push_back({"line read", [] { return markOf(PenPathMark::lineRead); }});
    hops.push_back({"record opened", [] { return markOf(PenPathMark::opened); }});
    hops.push_back({"payload decoded", [] { return markOf(PenPathMark::decoded); }});
    hops.push_back({"handed to the receivers", [&] { return handedOver.load(); }});
    hops.push_back({"queued to the worker", [&] { return queued.load(); }});
    hops.push_back({"worker ran", [] { return markOf(PenPathMark::workerRan); }});
    hops.push_back({"sink posted", [&] { return sink->posted.load(); }});
    hops.push_back({"X flushed", [&] { return sink->flushedAt.load(); }});
    penPathRecorder.store(&recordMark);

    std::vector<double> latencies;
    std::vector<double> channelShares;
    for (auto _ : state) {
        const auto line = lineOf(PenSample::Phase::moved);
        const std::size_t target = sink->count.load(std::memory_order_acquire) + perSample;
        const std::size_t flushed = sink->flushes.load(std::memory_order_acquire);
        start = Clock::now().time_since_epoch().count();
        host.pad->raw.write(line);
        while (sink->count.load(std::memory_order_acquire) < target ||
               sink->flushes.load(std::memory_order_acquire) == flushed) {
        }
        const std::chrono::duration<double, std::micro> elapsed =
            Clock::duration(sink->flushedAt.load() - start);
        const std::chrono::duration<double, std::micro> channelShare =
            Clock::duration(handedOver.load() - start);
        state.SetIterationTime(elapsed.count() / 1e6);
        latencies.push_back(elapsed.count());
        channelShares.push_back(channelShare.count());
        Clock::rep previous = start;
        for (auto& hop : hops) {
            const Clock::rep at = hop.at();
            hop.spans.push_back(
                std::chrono::duration<double, std::micro>(Clock::duration(at - previous)).count());
            previous = at;
        }
    }
    penPathRecorder.store(nullptr);
    sendAndSettle(PenSample::Phase::ended);
    worker->shutdown();
    if (latencies.empty()) {
        return;
    }
    const auto report = [&state](const std::string& name, std::vector<double>& values) {
        std::sort(values.begin(), values.end());
        state.counters[name + "median_us"] = values[values.size() / 2];
        state.counters[name + "p99_us"] = values[values.size() * 99 / 100];
        state.counters[name + "max_us"] = values.back();
    };
    report("", latencies);
    report("channel_", channelShares);
    state.counters["events_per_sample"] = static_cast<double>(perSample);
    std::printf("%-40s %10s %10s %10s\n", "hop (from the stamp before)", "median us", "p99 us",
                "max us");
    for (auto& hop : hops) {
        std::sort(hop.spans.begin(), hop.spans.end());
        std::printf("%-40s %10.1f %10.1f %10.1f\n", hop.name, hop.spans[hop.spans.size() / 2],
                    hop.spans[hop.spans.size() * 99 / 100], hop.spans.back());
    }
}
BENCHMARK(SealedLineToXTestEvent)->UseManualTime()->Iterations(10000);

}  // namespace
}  // namespace quillory
