#include "app/controls/input_control.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/desktop-control/desktop_input_controller.h"
#include "app/desktop-control/tests/worker_fixture.h"
#include "app/session/testing/fake_session.h"
#include "platform/desktop/testing/fake_desktop.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"

namespace quillory {
namespace {

using testing::sample;
using Phase = PenSample::Phase;

// The views' input control mirrors the controller: every published change and both controls.
TEST(DesktopInputControl, MirrorsTheControllerAndPassesTheControlsOn) {
    auto main = std::make_shared<ManualExecutor>();
    MainQueue::install(main);
    DesktopInputController controller(testing::testEnvironment(
        std::make_shared<RecordingInputSink>(), std::make_shared<FakeClock>(50'000'000'000),
        std::make_shared<FakeDesktop>()));
    DesktopInputControl input(&controller);
    QSignalSpy samples(&input, &InputControl::samplesChanged);
    QSignalSpy pointer(&input, &InputControl::pointerChanged);
    QSignalSpy pressure(&input, &InputControl::pressureChanged);
    QSignalSpy control(&input, &InputControl::controlDesktopChanged);

    input.setRecording(true);
    const Uuid connection = controller.beginPresentation();
    controller.worker()->submit(
        {sample(1, Phase::began, 0.25, 0.75, 0.4), sample(2, Phase::moved, 0.5, 0.5, 0.6)},
        connection);
    controller.worker()->drain();
    controller.presentationTick();
    EXPECT_EQ(input.sampleCount(), 2);
    EXPECT_EQ(&input.samples(), &controller.samples());  // by reference, no copy
    EXPECT_EQ(input.samplesAppended(), 2u);
    const auto generation = input.sampleGeneration();
    EXPECT_DOUBLE_EQ(input.pressure(), controller.pressure());
    EXPECT_GT(input.pressure(), 0);
    const QVariantMap last = input.pointerValue().toMap();
    EXPECT_DOUBLE_EQ(last.value("x").toDouble(), 0.5);
    EXPECT_GE(samples.count(), 1);
    EXPECT_GE(pointer.count(), 1);
    EXPECT_GE(pressure.count(), 1);

    controller.setControlDesktop(true);
    EXPECT_TRUE(input.controlDesktop());
    EXPECT_EQ(control.count(), 1);

    input.clearSamples();
    EXPECT_EQ(input.sampleCount(), 0);
    EXPECT_EQ(input.sampleGeneration(), generation + 1);
    EXPECT_EQ(input.samplesAppended(), 2u);
    EXPECT_TRUE(input.pointerValue().isValid());  // clearing keeps the pointer
    input.setRecording(false);
    EXPECT_FALSE(input.pointerValue().isValid());
    EXPECT_EQ(input.pressure(), 0);
    controller.setControlDesktop(false);
    main->runUntilIdle();
}

// The fake keeps the same accounting as the controller, so views tested over it see the same.
TEST(FakeInput, AppendsDropsAndClearsLikeTheController) {
    FakeInput input;
    QSignalSpy samples(&input, &InputControl::samplesChanged);
    input.appendSamples({sample(1, Phase::began), sample(2, Phase::moved)}, 3);
    input.appendSamples({sample(3, Phase::moved), sample(4, Phase::ended)}, 3);
    EXPECT_EQ(input.samplesAppended(), 4u);
    ASSERT_EQ(input.samples().size(), 3u);
    EXPECT_EQ(input.samples().front().sequence, 2u);
    const auto generation = input.sampleGeneration();
    input.clearSamples();
    EXPECT_EQ(input.sampleGeneration(), generation + 1);
    EXPECT_TRUE(input.samples().empty());
    input.setSamples({sample(5, Phase::began)});
    EXPECT_EQ(input.sampleGeneration(), generation + 2);
    EXPECT_EQ(samples.count(), 4);
}

}  // namespace
}  // namespace quillory
