#include "app/desktop-control/desktop_input_controller.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include "app/desktop-control/tests/worker_fixture.h"
#include "platform/desktop/testing/fake_desktop.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"

namespace quillory::testing {
namespace {

class ControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "desktop_input_controller_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) {
            new QGuiApplication(argc, argv);
        }
        MainQueue::install(main);
        controller = std::make_unique<DesktopInputController>(
            testEnvironment(sink, std::make_shared<FakeClock>(50'000'000'000), desktop));
        connection = controller->beginPresentation();
    }
    void submit(std::vector<PenSample> batch) {
        controller->worker()->submit(std::move(batch), connection);
        controller->worker()->drain();
        controller->presentationTick();
    }

    std::shared_ptr<ManualExecutor> main = std::make_shared<ManualExecutor>();
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    std::shared_ptr<RecordingInputSink> sink = std::make_shared<RecordingInputSink>();
    std::unique_ptr<DesktopInputController> controller;
    Uuid connection;
    std::uint64_t sequence = 1;
};

TEST_F(ControllerTest, TheMarkerFollowsHoverAndHidesWhenTheSnapshotSaysSo) {
    controller->setControlDesktop(true);
    submit({sample(sequence++, Phase::hover, 0, 0)});
    EXPECT_TRUE(controller->indicator().isVisible());
    EXPECT_EQ(controller->indicator().centre(), (Point{0, 0}));
    main->advance(1.4);
    EXPECT_TRUE(controller->indicator().isVisible());
    main->advance(0.2);
    EXPECT_FALSE(controller->indicator().isVisible());  // 1.5 s after the last position
    submit({sample(sequence++, Phase::hover)});
    EXPECT_TRUE(controller->indicator().isVisible());
    submit({sample(sequence++, Phase::began)});
    EXPECT_FALSE(controller->indicator().isVisible());  // at once, without the auto-hide
}

TEST_F(ControllerTest, PenTestDataChangesOnlyWhileRecordingAndKeepsTheNewest) {
    submit({sample(sequence++, Phase::began), sample(sequence++, Phase::moved)});
    EXPECT_TRUE(controller->samples().empty());
    EXPECT_FALSE(controller->pointer());
    controller->setRecording(true);
    for (int tick = 0; tick < 4; ++tick) {
        std::vector<PenSample> batch;
        for (int i = 0; i < 4000; ++i) {
            batch.push_back(sample(sequence++, Phase::moved));
        }
        submit(std::move(batch));
    }
    ASSERT_EQ(controller->samples().size(), DesktopInputController::sampleLimit);
    EXPECT_EQ(controller->samples().back().sequence, sequence - 1);
    EXPECT_EQ(controller->pressure(), 0.5);
    EXPECT_TRUE(controller->pointer());
}

// A view tells a batch from a front drop from an emptied history by the appended count, the
// size and the generation.
TEST_F(ControllerTest, HistoryAccountingTellsBatchesDropsAndClearsApart) {
    const auto appendMoved = [&](int count) {
        std::vector<PenSample> batch;
        for (int i = 0; i < count; ++i) {
            batch.push_back(sample(sequence++, Phase::moved));
        }
        submit(std::move(batch));
    };
    submit({sample(sequence++, Phase::began)});  // not recording: nothing counts
    EXPECT_EQ(controller->samplesAppended(), 0u);
    const auto generation = controller->sampleGeneration();
    controller->setRecording(true);
    EXPECT_EQ(controller->sampleGeneration(), generation + 1);
    appendMoved(4000);
    appendMoved(4000);
    appendMoved(4000);
    ASSERT_EQ(controller->samplesAppended(), 12000u);
    EXPECT_EQ(controller->sampleGeneration(), generation + 1);
    appendMoved(4);
    EXPECT_EQ(controller->samplesAppended(), 12004u);
    EXPECT_EQ(controller->samplesAppended() - controller->samples().size(), 4u);  // left the front
    EXPECT_EQ(controller->samples().front().sequence, sequence - 12000);
    controller->clearSamples();
    EXPECT_EQ(controller->sampleGeneration(), generation + 2);
    EXPECT_EQ(controller->samplesAppended(), 12004u);
    controller->setRecording(false);
    EXPECT_EQ(controller->sampleGeneration(), generation + 3);
}

// An idle tablet stops the snapshot timer; the next input starts it again.
TEST_F(ControllerTest, TheSnapshotTimerRestsWhileTheTabletDoes) {
    for (int take = 0; take <= DesktopInputController::idleTakesBeforeParking; ++take) {
        controller->presentationTick();  // the first takes the attach's lift
    }
    EXPECT_FALSE(controller->isPresenting());
    controller->worker()->submit({sample(sequence++, Phase::hover)}, connection);
    controller->worker()->drain();
    main->runUntilIdle();
    EXPECT_TRUE(controller->isPresenting());
}

// A shared window takes the pen only while its application is in front. Each change of target
// or foreground lifts the pen first, and the indicator drawn for the old target goes.
TEST_F(ControllerTest, AWindowTargetFollowsTheForegroundAndEveryChangeLiftsThePen) {
    const Rect frame{100, 200, 401, 301};
    desktop->setWindows(std::vector<WindowInfo>{{.id = 7, .frame = frame, .processID = 42}});
    controller->setControlDesktop(true);
    submit({sample(sequence++, Phase::hover)});
    ASSERT_TRUE(controller->indicator().isVisible());
    ASSERT_TRUE(sink->inProximity());

    controller->setTarget({.bounds = frame, .windowID = 7, .processID = 42});
    EXPECT_TRUE(sink->allUp());
    EXPECT_FALSE(controller->indicator().isVisible());
    submit({sample(sequence++, Phase::began)});
    EXPECT_FALSE(sink->buttonDown());  // nothing in front yet

    controller->setForeground(42, Uuid::random());
    submit({sample(sequence++, Phase::began, 0.5, 0.5)});
    ASSERT_TRUE(sink->buttonDown());
    EXPECT_EQ(sink->events().back().location, (Point{300, 350}));

    controller->setForeground(43, std::nullopt);
    EXPECT_TRUE(sink->allUp());
    submit({sample(sequence++, Phase::began)});
    EXPECT_FALSE(sink->buttonDown());
}

// The switch reconfigures only on change; the next tablet starts with it off; a disconnect stops
// only its own presentation.
TEST_F(ControllerTest, SwitchAndConnections) {
    const auto revision = controller->worker()->revision();
    controller->setControlDesktop(false);
    EXPECT_EQ(controller->worker()->revision(), revision);
    controller->setControlDesktop(true);
    EXPECT_EQ(controller->worker()->revision(), revision + 1);
    submit({sample(sequence++, Phase::began)});
    EXPECT_TRUE(sink->buttonDown());
    const Uuid previous = std::exchange(connection, controller->beginPresentation());
    EXPECT_FALSE(controller->controlDesktop());
    EXPECT_TRUE(sink->allUp());
    controller->setControlDesktop(true);
    const auto count = sink->count();
    controller->disconnect(previous);
    main->runUntilIdle();
    EXPECT_TRUE(controller->isPresenting());
    controller->disconnect(connection);
    main->runUntilIdle();
    EXPECT_FALSE(controller->isPresenting());
    submit({sample(sequence++, Phase::began)});
    EXPECT_EQ(sink->count(), count);
}

}  // namespace
}  // namespace quillory::testing
