#include "app/desktop-control/desktop_input_worker.h"

#include <linux/input-event-codes.h>

#include <future>
#include <random>
#include <thread>

#include "app/desktop-control/tests/worker_fixture.h"

namespace quillory::testing {
namespace {

using Kind = DesktopAction::Kind;

TEST_F(WorkerTest, ConnectionsAttachDetachAndEnd) {
    worker->submit({sample(1, Phase::began)}, Uuid::random());
    worker->detach(Uuid::random());
    worker->end(Uuid::random());
    submit({sample(2, Phase::began)});
    EXPECT_EQ(types(events()), (std::vector<T>{T::tabletProximity, T::leftMouseDown}));
    worker->end(connection);  // lifts but keeps the connection
    worker->drain();
    EXPECT_TRUE(sink->recording.allUp());
    submit({sample(3, Phase::began)});
    EXPECT_TRUE(sink->recording.buttonDown());

    // A new tablet lifts what the last one held and starts switched off, its sequence afresh.
    const Uuid previous = std::exchange(connection, Uuid::random());
    worker->attach(connection);
    EXPECT_TRUE(sink->recording.allUp());
    sink->recording.clear();
    submit({sample(1, Phase::began)});
    worker->submit({sample(4, Phase::hover)}, previous);
    worker->drain();
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(worker->takePresentation().value().sample.value().sequence, 1u);
    enable(true);
    worker->detach(connection);
    submit({sample(2, Phase::began)});
    perform(action(Kind::tap, {DesktopKey::a}));
    EXPECT_TRUE(events().empty());
}

TEST_F(WorkerTest, OnlyTheLastMovedSampleOfABatchDrags) {
    submit({sample(1, Phase::began, 0.1), sample(2, Phase::moved, 0.2),
            sample(3, Phase::moved, 0.3), sample(4, Phase::moved, 0.4)});
    submit({sample(5, Phase::moved, 0.5), sample(6, Phase::ended, 0.5)});
    EXPECT_EQ(types(events()),
              (std::vector<T>{T::tabletProximity, T::leftMouseDown, T::tabletPointer,
                              T::tabletPointer, T::leftMouseDragged, T::leftMouseDragged,
                              T::leftMouseUp, T::tabletProximity}));
    const auto all = events();
    for (std::size_t i = 1; i < all.size(); ++i) {
        EXPECT_GT(all[i].timestamp, all[i - 1].timestamp);
    }
}

TEST_F(WorkerTest, SeventeenthBatchFlushesTheBacklogWithOneLift) {
    sink->holdAt(1);
    worker->submit({sample(1, Phase::began), sample(2, Phase::moved, 0.6)}, connection);
    sink->held.get_future().wait();
    const auto before = worker->revision();
    for (std::uint64_t i = 0; i < 15; ++i) {
        worker->submit({sample(10 + i, Phase::moved, 0.05 * static_cast<double>(i))}, connection);
    }
    EXPECT_EQ(worker->revision(), before);
    worker->submit({sample(40, Phase::moved)}, connection);  // the 17th
    EXPECT_EQ(worker->revision(), before + 1);
    worker->submit({sample(41, Phase::moved)}, connection);  // no second recovery
    EXPECT_EQ(worker->revision(), before + 1);
    sink->release.set_value();
    worker->drain();
    EXPECT_EQ(types(events()), (std::vector<T>{T::tabletProximity, T::leftMouseDown, T::leftMouseUp,
                                               T::tabletProximity}));
    submit({sample(50, Phase::began)});  // recovered: new input is accepted
    EXPECT_TRUE(sink->recording.buttonDown());
}

TEST_F(WorkerTest, TheSixtyFifthOutstandingActionFlushesThemWithOneLift) {
    sink->holdAt(1);
    worker->submit(action(Kind::begin, {DesktopKey::control}, Uuid::random()), connection);
    sink->held.get_future().wait();
    const auto before = worker->revision();
    for (int i = 0; i < 63; ++i) {
        worker->submit(action(Kind::tap, {DesktopKey::b}), connection);
    }
    EXPECT_EQ(worker->revision(), before);
    worker->submit(action(Kind::tap, {DesktopKey::c}), connection);
    EXPECT_EQ(worker->revision(), before + 1);
    sink->release.set_value();
    worker->drain();
    EXPECT_EQ(events().size(), 2u);  // control down, and up by the recovery; no tap ran
    perform(action(Kind::tap, {DesktopKey::a}));
    EXPECT_EQ(events().size(), 4u);
}

TEST_F(WorkerTest, ConfigureDuringALongBatchStopsItAndLiftsBeforeTheBody) {
    bool liftedBeforeBody = false;
    std::promise<void> midway;
    sink->at(4, [&] {
        const auto before = worker->revision();
        midway.set_value();
        while (worker->revision() == before) {
            std::this_thread::yield();
        }
    });
    std::vector<PenSample> batch{sample(1, Phase::began)};
    for (std::uint64_t i = 2; i < 40; ++i) {
        batch.push_back(sample(i, Phase::moved, 0.01 * static_cast<double>(i)));
    }
    worker->submit(batch, connection);
    midway.get_future().wait();
    worker->configure([&] { liftedBeforeBody = sink->recording.allUp(); });
    EXPECT_TRUE(liftedBeforeBody);
    EXPECT_EQ(types(events()),
              (std::vector<T>{T::tabletProximity, T::leftMouseDown, T::tabletPointer,
                              T::tabletPointer, T::leftMouseUp, T::tabletProximity}));
}

// A new root size gives the pen a new area: everything is lifted first, and the next stroke
// starts on the new area.
TEST_F(WorkerTest, ARootResizeLiftsEverythingBeforeThePenGetsItsNewArea) {
    submit({sample(1, Phase::began)});
    perform(action(Kind::begin, {DesktopKey::shift}, Uuid::random()));
    const Rect resized{0, 0, 2560, 1440};
    worker->configure([&] { worker->setRootArea(resized); });
    const auto areas = sink->recording.areas();
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0].second, resized);
    const auto before = events();
    ASSERT_EQ(areas[0].first, before.size());
    EXPECT_TRUE(sink->recording.allUp());
    submit({sample(2, Phase::began)});
    EXPECT_EQ(types(events()).back(), T::leftMouseDown);
}

// A stroke that begins while a configure barrier runs is drawn once the barrier is done: a tablet
// drawing right after a Studio stop must not lose its stroke.
TEST_F(WorkerTest, AStrokeBegunDuringAConfigureBarrierIsDrawnAfterIt) {
    std::promise<void> inBarrier;
    std::promise<void> submitted;
    std::thread transport([&] {
        inBarrier.get_future().wait();
        worker->submit({sample(1, Phase::began)}, connection);
        submitted.set_value();
    });
    worker->configure([&] {
        inBarrier.set_value();
        submitted.get_future().wait();
    });
    transport.join();
    worker->drain();
    EXPECT_EQ(types(events()), (std::vector<T>{T::tabletProximity, T::leftMouseDown}));
}

// Access granted while running brings another sink: the old one lifts the pen and releases
// every key, a batch queued before the swap reaches neither, and later input goes to the new one.
TEST_F(WorkerTest, ASwappedSinkTakesOverOnceTheOldOneLifted) {
    submit({sample(1, Phase::began)});
    perform(action(Kind::begin, {DesktopKey::shift}, Uuid::random()));
    sink->holdAt(sink->recording.count() + 1);
    worker->submit({sample(2, Phase::moved, 0.2)}, connection);
    sink->held.get_future().wait();
    worker->submit({sample(3, Phase::moved, 0.9)}, connection);  // waits behind the held one

    auto next = std::make_shared<RecordingInputSink>();
    const auto before = worker->revision();
    std::thread releaser([&] {
        while (worker->revision() == before) {
            std::this_thread::yield();
        }
        sink->release.set_value();
    });
    worker->configure([&] { worker->setSink(next); });
    releaser.join();

    EXPECT_TRUE(sink->recording.allUp());
    for (const auto& event : events()) {
        EXPECT_LT(event.location.x, 1000) << "the queued batch reached the old sink";
    }
    EXPECT_EQ(next->count(), 0u);
    const auto oldCount = sink->recording.count();
    perform(action(Kind::tap, {DesktopKey::a}));
    submit({sample(4, Phase::began, 0.9)});
    EXPECT_EQ(sink->recording.count(), oldCount);
    const auto moved = next->events();
    ASSERT_GE(moved.size(), 4u);
    EXPECT_EQ(types(moved)[0], T::keyDown);
    EXPECT_EQ(types(moved)[2], T::tabletProximity);
    EXPECT_GT(moved[3].location.x, 1000);
}

TEST_F(WorkerTest, StaleBatchesAndActionsLiftInsteadOfPosting) {
    sink->holdAt(2);
    worker->submit({sample(1, Phase::began)}, connection);
    sink->held.get_future().wait();
    worker->submit({sample(2, Phase::moved, 0.9)}, connection);
    worker->submit(action(Kind::tap, {DesktopKey::a}), connection);
    clock->advance(2.0);
    sink->release.set_value();
    worker->drain();
    // Processing that crosses the limit midway stops posting there.
    sink->at(7, [&] { clock->advance(2.0); });
    submit({sample(3, Phase::began), sample(4, Phase::moved, 0.1), sample(5, Phase::moved, 0.2)});
    EXPECT_EQ(types(events()),
              (std::vector<T>{T::tabletProximity, T::leftMouseDown, T::leftMouseUp,
                              T::tabletProximity, T::tabletProximity, T::leftMouseDown,
                              T::tabletPointer, T::leftMouseUp, T::tabletProximity}));
}

TEST_F(WorkerTest, WatchdogReleasesSilentHoldsAndLiftsASilentPen) {
    perform(action(Kind::begin, {DesktopKey::shift}, Uuid::random()));
    submit({sample(1, Phase::began)});
    clock->advance(2.0);
    worker->checkWatchdog();
    EXPECT_TRUE(sink->recording.buttonDown());
    clock->advance(0.01);
    worker->checkWatchdog();  // the pen: just over 2 s without a batch; lifting releases keys too
    EXPECT_TRUE(sink->recording.allUp());

    perform(action(Kind::begin, {DesktopKey::shift}, Uuid::random()));
    clock->advance(2.9);
    perform(action(Kind::keepAlive));
    clock->advance(2.9);
    worker->checkWatchdog();
    EXPECT_FALSE(sink->recording.keysDown().empty());
    clock->advance(0.2);
    worker->checkWatchdog();
    EXPECT_TRUE(sink->recording.keysDown().empty());
}

// Actions need the current context and no pen stroke under way; releases are never refused.
TEST_F(WorkerTest, ActionsNeedTheCurrentContextButReleasesAreNeverRefused) {
    const Uuid token = Uuid::random();
    perform(action(Kind::begin, {DesktopKey::control}, token));
    auto foreign = action(Kind::tap, {DesktopKey::a});
    foreign.contextID = Uuid::random();
    perform(foreign);
    submit({sample(1, Phase::began)});
    perform(action(Kind::tap, {DesktopKey::a}));
    EXPECT_EQ(sink->recording.keysDown(), (std::set<std::uint16_t>{KEY_LEFTCTRL}));
    EXPECT_EQ(events().size(), 3u);
    access = false;
    clock->advance(0.5);
    perform(action(Kind::end, {}, token));
    EXPECT_TRUE(sink->recording.keysDown().empty());
}

TEST_F(WorkerTest, PresentationKeepsCappedHistoryWithoutHover) {
    worker->setRecording(true);
    std::vector<PenSample> batch{sample(1, Phase::hover), sample(2, Phase::began)};
    for (std::uint64_t i = 3; i < 5000; ++i) {
        batch.push_back(sample(i, Phase::moved, 0.5 + 1e-5 * static_cast<double>(i)));
    }
    submit(batch);
    auto shown = worker->takePresentation();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->history.size(), DesktopInputWorker::historyLimit);
    EXPECT_EQ(shown->history.back().sequence, 4999u);
    EXPECT_FALSE(shown->indicator);
    EXPECT_FALSE(worker->takePresentation());
    submit({sample(5000, Phase::ended), sample(5001, Phase::hover)});
    shown = worker->takePresentation();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->history.size(), 1u);
    EXPECT_TRUE(shown->indicator);
}

// A batch is refused whole, and a stroke under way lifted, for one bad sample, a sample meant for
// a Studio source the target is not, a changed display, or a point under a window in front of the
// shared one.
TEST_F(WorkerTest, RefusedBatchesLiftWhole) {
    submit({sample(1, Phase::began)});
    auto bad = sample(3, Phase::moved);
    bad.pressure = 1.5;
    submit({sample(2, Phase::moved, 0.7), bad});
    auto foreign = sample(4, Phase::began);
    foreign.studioID = Uuid::random();
    submit({foreign});
    submit({sample(5, Phase::began)});
    desktop->setDisplays({{.id = 1, .bounds = {0, 0, 2560, 1440}, .primary = true}});
    submit({sample(6, Phase::moved)});
    const Rect frame{100, 100, 800, 600};
    desktop->setWindows(std::vector<WindowInfo>{{.id = 7, .frame = {0, 0, 300, 300}},
                                                {.id = 9, .frame = frame, .processID = frontPid}});
    worker->configure(
        [&] { worker->setTarget({.bounds = frame, .windowID = 9, .processID = frontPid}); });
    submit({sample(7, Phase::began, 0.9, 0.9)});
    submit({sample(8, Phase::moved, 0.9, 0.9), sample(9, Phase::moved, 0.1, 0.1)});
    const std::vector<T> stroke{T::tabletProximity, T::leftMouseDown, T::leftMouseUp,
                                T::tabletProximity};
    auto expected = stroke;
    expected.insert(expected.end(), stroke.begin(), stroke.end());
    expected.insert(expected.end(), stroke.begin(), stroke.end());
    EXPECT_EQ(types(events()), expected);
}

// Random input of every kind with barriers and connection changes (fixed seed): after every
// barrier and at the end, nothing is left down.
TEST_F(WorkerTest, RandomInputNeverLeavesAnythingDown) {
    std::mt19937 random(20261206);
    const auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const auto unit = [&] { return std::uniform_real_distribution<double>(0, 1)(random); };
    std::vector<Uuid> tokens(6);
    for (auto& token : tokens) {
        token = Uuid::random();
    }
    const DesktopKey keys[] = {DesktopKey::shift,       DesktopKey::control, DesktopKey::a,
                               DesktopKey::leftBracket, DesktopKey::f5,      DesktopKey::command};
    std::uint64_t sequence = 1;
    for (int step = 0; step < 4000; ++step) {
        const int kind = below(100);
        if (kind < 55) {
            std::vector<PenSample> batch(static_cast<std::size_t>(1 + below(8)));
            for (auto& s : batch) {
                s = sample(below(100) < 97 ? sequence++ : sequence - 1,
                           static_cast<Phase>(below(5)), unit(), unit(), unit());
            }
            worker->submit(std::move(batch), connection);
        } else if (kind < 85) {
            std::vector<DesktopKey> chord{keys[below(6)]};
            if (below(2) == 0 && chord[0] != DesktopKey::shift) {
                chord.insert(chord.begin(), DesktopKey::shift);
            }
            worker->submit(action(static_cast<Kind>(below(5)), chord,
                                  tokens[static_cast<std::size_t>(below(6))]),
                           connection);
        } else if (kind < 90) {
            clock->advance(unit() * 0.8);
        } else if (kind < 93) {
            worker->checkWatchdog();
        } else if (kind < 96) {
            worker->end(connection);
        } else if (kind < 98) {
            enable(below(100) < 80);
            EXPECT_TRUE(sink->recording.allUp()) << "after a barrier at step " << step;
        } else {
            connection = Uuid::random();
            worker->attach(connection);
            EXPECT_TRUE(sink->recording.allUp()) << "after attach at step " << step;
            enable(true);
        }
    }
    worker->shutdown();
    EXPECT_TRUE(sink->recording.allUp());
    EXPECT_GT(sink->recording.count(), 1000u);
}

}  // namespace
}  // namespace quillory::testing
