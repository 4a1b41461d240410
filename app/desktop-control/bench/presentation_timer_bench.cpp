#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

#include "app/desktop-control/presentation_timer.h"

namespace quillory {
namespace {

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "presentation_timer_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop for `seconds` with `timer` running; reports the ticks a second and the
// widest gap between two ticks.
template <typename Timer>
void measure(benchmark::State& state, Timer& timer, double seconds) {
    application();
    std::size_t ticks = 0;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 widest = 0;
    QObject::connect(&timer, &Timer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (ticks > 0) {
            widest = std::max(widest, now - last);
        }
        last = now;
        ++ticks;
    });
    for (auto _ : state) {
        clock.start();
        timer.start();
        QTimer::singleShot(static_cast<int>(seconds * 1000), Qt::PreciseTimer,
                           [] { QCoreApplication::exit(); });
        QCoreApplication::exec();
        timer.stop();
    }
    state.counters["ticks_per_second"] = static_cast<double>(ticks) / seconds;
    state.counters["widest_gap_ms"] = static_cast<double>(widest) / 1e6;
}

// What the presentation ran on before: a precise timer of 16 whole milliseconds.
void SixteenMillisecondTimer(benchmark::State& state) {
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(16);
    measure(state, timer, 5);
}

void PresentationGrid(benchmark::State& state) {
    PresentationTimer timer(std::make_shared<SystemClock>());
    measure(state, timer, 5);
}

BENCHMARK(SixteenMillisecondTimer)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(PresentationGrid)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace quillory
