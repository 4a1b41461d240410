#include "app/desktop-control/desktop_input_worker.h"

#include <linux/input-event-codes.h>

#include <random>
#include <thread>

#include "app/desktop-control/tests/worker_fixture.h"

namespace quillory::testing {
namespace {

using Phase = PenSample::Phase;
using T = InputEventType;

TEST_F(WorkerTest, InputOfAnotherConnectionOrNoneChangesNothing) {
    worker->submit({sample(1, Phase::began)}, Uuid::random());
    worker->detach(Uuid::random());
    worker->end(Uuid::random());
    submit({sample(2, Phase::hover)});
    EXPECT_EQ(types(events()), (std::vector<T>{T::tabletProximity, T::mouseMoved}));

    worker->detach(connection);
    worker->drain();
    sink->recording.clear();
    submit({sample(3, Phase::began)});
    perform(action(DesktopAction::Kind::tap, {DesktopKey::a}));
    EXPECT_TRUE(events().empty());
}

TEST_F(WorkerTest, OnlyTheLastMovedOrHoverSampleOfABatchDrags) {
    submit({sample(1, Phase::began, 0.1), sample(2, Phase::moved, 0.2),
            sample(3, Phase::moved, 0.3), sample(4, Phase::moved, 0.4)});
    EXPECT_EQ(types(events()),
              (std::vector<T>{T::tabletProximity, T::leftMouseDown, T::tabletPointer,
                              T::tabletPointer, T::leftMouseDragged}));
    sink->recording.clear();
    submit(
        {sample(5, Phase::moved, 0.5), sample(6, Phase::moved, 0.6), sample(7, Phase::ended, 0.6)});
    EXPECT_EQ(types(events()), (std::vector<T>{T::tabletPointer, T::leftMouseDragged,
                                               T::leftMouseUp, T::tabletProximity}));
    const auto all = events();
    for (std::size_t i = 1; i < all.size(); ++i) {
        EXPECT_GT(all[i].timestamp, all[i - 1].timestamp);
    }
}

TEST_F(WorkerTest, OneBadSampleDropsTheWholeBatchAndLifts) {
    submit({sample(1, Phase::began)});
    sink->recording.clear();
    auto bad = sample(3, Phase::moved);
    bad.pressure = 1.5;
    submit({sample(2, Phase::moved, 0.7), bad});
    EXPECT_EQ(types(events()), (std::vector<T>{T::leftMouseUp, T::tabletProximity}));

    // A sample meant for a Studio source the target is not.
    sink->recording.clear();
    auto foreign = sample(4, Phase::began);
    foreign.studioID = Uuid::random();
    submit({foreign});
    EXPECT_TRUE(events().empty());
    EXPECT_TRUE(sink->recording.allUp());
}

TEST_F(WorkerTest, SeventeenthBatchFlushesTheBacklogWithOneLift) {
    Gate gate;
    sink->at(1, [&] { gate.wait(); });
    worker->submit({sample(1, Phase::began), sample(2, Phase::moved, 0.6)}, connection);
    gate.waitUntilEntered();
    const auto before = worker->revision();
    for (std::uint64_t i = 0; i < 15; ++i) {
        worker->submit({sample(10 + i, Phase::moved, 0.1 * static_cast<double>(i % 9))},
                       connection);
    }
    EXPECT_EQ(worker->revision(), before);
    worker->submit({sample(40, Phase::moved)}, connection);  // the 17th
    EXPECT_EQ(worker->revision(), before + 1);
    worker->submit({sample(41, Phase::moved)}, connection);  // no second recovery
    EXPECT_EQ(worker->revision(), before + 1);
    gate.open();
    worker->drain();
    EXPECT_EQ(types(events()), (std::vector<T>{T::tabletProximity, T::leftMouseDown, T::leftMouseUp,
                                               T::tabletProximity}));
    // The recovery has run: new input is accepted again.
    submit({sample(50, Phase::began)});
    EXPECT_TRUE(sink->recording.buttonDown());
}

TEST_F(WorkerTest, AFloodOfActionsIsCappedAndLiftedOnce) {
    Gate gate;
    sink->at(1, [&] { gate.wait(); });
    worker->submit(action(DesktopAction::Kind::begin, {DesktopKey::control}, Uuid::random()),
                   connection);
    gate.waitUntilEntered();
    const auto before = worker->revision();
    for (int i = 0; i < 63; ++i) {
        worker->submit(action(DesktopAction::Kind::tap, {DesktopKey::b}), connection);
    }
    EXPECT_EQ(worker->revision(), before);
    worker->submit(action(DesktopAction::Kind::tap, {DesktopKey::c}), connection);
    EXPECT_EQ(worker->revision(), before + 1);
    gate.open();
    worker->drain();
    // Control went down, the recovery released it, and none of the queued taps ran.
    EXPECT_EQ(events().size(), 2u);
    EXPECT_TRUE(sink->recording.allUp());
    perform(action(DesktopAction::Kind::tap, {DesktopKey::a}));
    EXPECT_EQ(events().size(), 4u);
}

TEST_F(WorkerTest, ConfigureDuringALongBatchStopsItAndLiftsBeforeTheBody) {
    std::thread configurer;
    bool liftedBeforeBody = false;
    sink->at(4, [&] {
        const auto before = worker->revision();
        configurer = std::thread(
            [&] { worker->configure([&] { liftedBeforeBody = sink->recording.allUp(); }); });
        while (worker->revision() == before) {
            std::this_thread::yield();
        }
    });
    std::vector<PenSample> batch{sample(1, Phase::began)};
    for (std::uint64_t i = 2; i < 40; ++i) {
        batch.push_back(sample(i, Phase::moved, 0.01 * static_cast<double>(i)));
    }
    worker->submit(batch, connection);
    worker->drain();
    configurer.join();
    EXPECT_TRUE(liftedBeforeBody);
    EXPECT_EQ(types(events()),
              (std::vector<T>{T::tabletProximity, T::leftMouseDown, T::tabletPointer,
                              T::tabletPointer, T::leftMouseUp, T::tabletProximity}));
}

TEST_F(WorkerTest, StaleBatchesAndActionsLiftInsteadOfPosting) {
    Gate gate;
    sink->at(2, [&] { gate.wait(); });
    worker->submit({sample(1, Phase::began)}, connection);
    gate.waitUntilEntered();
    worker->submit({sample(2, Phase::moved, 0.9)}, connection);
    worker->submit(action(DesktopAction::Kind::tap, {DesktopKey::a}), connection);
    clock->advance(2.0);
    gate.open();
    worker->drain();
    EXPECT_EQ(types(events()), (std::vector<T>{T::tabletProximity, T::leftMouseDown, T::leftMouseUp,
                                               T::tabletProximity}));

    // Processing that crosses the limit midway stops posting there.
    sink->recording.clear();
    sink->at(3, [&] { clock->advance(2.0); });
    submit({sample(3, Phase::began), sample(4, Phase::moved, 0.1), sample(5, Phase::moved, 0.2)});
    EXPECT_EQ(types(events()),
              (std::vector<T>{T::tabletProximity, T::leftMouseDown, T::tabletPointer,
                              T::leftMouseUp, T::tabletProximity}));
}

TEST_F(WorkerTest, WatchdogReleasesSilentHoldsAndLiftsASilentPen) {
    perform(action(DesktopAction::Kind::begin, {DesktopKey::shift}, Uuid::random()));
    submit({sample(1, Phase::began)});
    clock->advance(2.0);
    worker->checkWatchdog();
    EXPECT_TRUE(sink->recording.buttonDown());
    clock->advance(0.01);
    worker->checkWatchdog();  // the pen: just over 2 s without a batch; lifting releases keys too
    EXPECT_TRUE(sink->recording.allUp());

    perform(action(DesktopAction::Kind::begin, {DesktopKey::shift}, Uuid::random()));
    clock->advance(2.9);
    perform(action(DesktopAction::Kind::keepAlive));
    clock->advance(2.9);
    worker->checkWatchdog();
    EXPECT_FALSE(sink->recording.keysDown().empty());
    clock->advance(0.2);
    worker->checkWatchdog();
    EXPECT_TRUE(sink->recording.keysDown().empty());
}

TEST_F(WorkerTest, EndKeepsTheConnectionAttachStartsDisabled) {
    submit({sample(1, Phase::began)});
    worker->end(connection);
    worker->drain();
    EXPECT_TRUE(sink->recording.allUp());
    submit({sample(2, Phase::began)});
    EXPECT_TRUE(sink->recording.buttonDown());

    const Uuid next = Uuid::random();
    worker->attach(next);
    EXPECT_TRUE(sink->recording.allUp());
    sink->recording.clear();
    worker->submit({sample(1, Phase::began)}, next);
    worker->drain();
    EXPECT_TRUE(events().empty());  // disabled until switched on; fresh gate accepts sequence 1
    auto shown = worker->takePresentation();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->sample->sequence, 1u);
}

TEST_F(WorkerTest, ActionsNeedTheCurrentContextButReleasesAreNeverRefused) {
    const Uuid token = Uuid::random();
    perform(action(DesktopAction::Kind::begin, {DesktopKey::control}, token));
    auto foreign = action(DesktopAction::Kind::tap, {DesktopKey::a});
    foreign.contextID = Uuid::random();
    perform(foreign);
    EXPECT_EQ(events().size(), 1u);

    // Taps are not injected under a pen stroke.
    submit({sample(1, Phase::began)});
    perform(action(DesktopAction::Kind::tap, {DesktopKey::a}));
    EXPECT_EQ(sink->recording.keysDown(), (std::set<std::uint16_t>{KEY_LEFTCTRL}));

    access = false;
    clock->advance(0.5);
    perform(action(DesktopAction::Kind::end, {}, token));
    EXPECT_TRUE(sink->recording.keysDown().empty());
}

TEST_F(WorkerTest, PresentationKeepsHistoryWithoutHoverAndCapsIt) {
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
    EXPECT_EQ(shown->pressure, 0.5);
    EXPECT_FALSE(shown->indicator);
    EXPECT_FALSE(worker->takePresentation());

    submit({sample(5000, Phase::ended), sample(5001, Phase::hover, 1.0, 0.0)});
    shown = worker->takePresentation();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->history.size(), 1u);
    EXPECT_TRUE(shown->indicator);
    EXPECT_EQ(shown->position, (Point{1919, 0}));

    // Switched off, samples still reach the presentation but nothing is posted.
    enable(false);
    sink->recording.clear();
    submit({sample(5002, Phase::hover), sample(5003, Phase::began)});
    EXPECT_TRUE(events().empty());
    shown = worker->takePresentation();
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->indicator);
    EXPECT_EQ(shown->history.size(), 1u);
}

TEST_F(WorkerTest, ATargetThatCannotBeTrustedLifts) {
    submit({sample(1, Phase::began)});
    desktop->setDisplays({{.id = 1, .bounds = {0, 0, 2560, 1440}, .primary = true}});
    submit({sample(2, Phase::moved)});
    EXPECT_TRUE(sink->recording.allUp());

    // A shared window: input under another window in front of it is refused.
    const Rect frame{100, 100, 800, 600};
    desktop->setWindows(std::vector<WindowInfo>{{.id = 7, .frame = {0, 0, 300, 300}},
                                                {.id = 9, .frame = frame, .processID = frontPid}});
    worker->configure(
        [&] { worker->setTarget({.bounds = frame, .windowID = 9, .processID = frontPid}); });
    sink->recording.clear();
    submit({sample(3, Phase::began, 0.9, 0.9)});
    EXPECT_TRUE(sink->recording.buttonDown());
    submit({sample(4, Phase::moved, 0.9, 0.9), sample(5, Phase::moved, 0.1, 0.1)});
    EXPECT_TRUE(sink->recording.allUp());
    EXPECT_EQ(types(events()).size(), 4u);
}

// Random input of every kind, with barriers and connection changes: after every barrier and at
// the end, nothing is left down.
TEST_F(WorkerTest, RandomInputNeverLeavesAnythingDown) {
    std::mt19937 random(20261206);
    const auto chance = [&](int percent) {
        return std::uniform_int_distribution<int>(0, 99)(random) < percent;
    };
    const auto unit = [&] { return std::uniform_real_distribution<double>(0, 1)(random); };
    std::vector<Uuid> tokens(6);
    for (auto& token : tokens) {
        token = Uuid::random();
    }
    const std::vector<DesktopKey> keys{DesktopKey::shift, DesktopKey::control,
                                       DesktopKey::a,     DesktopKey::leftBracket,
                                       DesktopKey::f5,    DesktopKey::command};
    std::uint64_t sequence = 1;
    for (int step = 0; step < 4000; ++step) {
        const int kind = std::uniform_int_distribution<int>(0, 99)(random);
        if (kind < 55) {
            std::vector<PenSample> batch;
            const int count = std::uniform_int_distribution<int>(1, 8)(random);
            for (int i = 0; i < count; ++i) {
                const auto phase =
                    static_cast<Phase>(std::uniform_int_distribution<int>(0, 4)(random));
                batch.push_back(
                    sample(chance(97) ? sequence++ : sequence - 1, phase, unit(), unit(), unit()));
            }
            worker->submit(std::move(batch), connection);
        } else if (kind < 85) {
            const auto actionKind =
                static_cast<DesktopAction::Kind>(std::uniform_int_distribution<int>(0, 4)(random));
            std::vector<DesktopKey> chord{keys[random() % keys.size()]};
            if (chance(50)) {
                chord.insert(chord.begin(), DesktopKey::shift);
                if (chord.back() == DesktopKey::shift) {
                    chord.pop_back();
                }
            }
            worker->submit(action(actionKind, chord, tokens[random() % tokens.size()]), connection);
        } else if (kind < 90) {
            clock->advance(unit() * 0.8);
        } else if (kind < 93) {
            worker->checkWatchdog();
        } else if (kind < 96) {
            worker->end(connection);
        } else if (kind < 98) {
            enable(chance(80));
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
