#include "app/desktop-control/recorder/recorder_core.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"
#include "platform/keyboard/keymap.h"

namespace quillory {
namespace {

using K = DesktopKey;
using Chord = std::vector<DesktopKey>;

struct FakeSurface final : RecorderSurface {
    void open() override { ++opened; }
    void close() override { ++closed; }
    void beep() override { ++beeps; }
    void stateChanged(const RecorderState&) override {}
    int opened = 0;
    int closed = 0;
    int beeps = 0;
};

class RecorderCoreTest : public ::testing::Test {
  protected:
    RecorderCoreTest() : core(std::make_shared<RecorderCore>(executor, surface)) {}

    // Starts a recording whose results land in `results`.
    void start() {
        core->start([this](std::optional<Chord> keys) { results.push_back(std::move(keys)); });
    }
    void key(std::uint16_t code, Chord held = {}, bool repeat = false) {
        core->keyDown(code, repeat, held, keymap.get());
    }
    void modifiers(Chord held) { core->modifiersChanged(held); }

    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    FakeSurface surface;
    std::shared_ptr<RecorderCore> core;
    std::shared_ptr<const Keymap> keymap = Keymap::fromNames("us").value();
    std::vector<std::optional<Chord>> results;
};

TEST_F(RecorderCoreTest, CommandSIsDeliveredAfterTheHandOverNotBefore) {
    start();
    modifiers({K::command});
    key(KEY_S, {K::command});
    EXPECT_EQ(core->state().result, (Chord{K::command, K::s}));
    executor->advance(0.69);
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(surface.closed, 0);
    executor->advance(0.01);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], (Chord{K::command, K::s}));
    EXPECT_EQ(surface.closed, 1);
    // Command released afterwards records nothing more.
    modifiers({});
    executor->advance(60);
    EXPECT_EQ(results.size(), 1u);
}

struct ModifierCase {
    const char* name;
    std::vector<Chord> steps;  // held modifiers after each flags change
    Chord expected;
    std::size_t deliveredAfterStep;  // the step at which the chord is taken
};

TEST_F(RecorderCoreTest, ModifiersAloneRecordThePeakWhenTheLastGoesUp) {
    const ModifierCase cases[] = {
        {"shift alone", {{K::shift}, {}}, {K::shift}, 1},
        {"command then option, released one by one",
         {{K::command}, {K::option, K::command}, {K::option}, {}},
         {K::option, K::command},
         3},
        {"the peak, not the last held",
         {{K::control}, {K::control, K::shift}, {K::shift}, {K::shift, K::command}, {}},
         {K::control, K::shift},
         4},
    };
    for (const ModifierCase& c : cases) {
        results.clear();
        start();
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            modifiers(c.steps[i]);
            EXPECT_EQ(core->state().result.has_value(), i >= c.deliveredAfterStep)
                << c.name << " step " << i;
        }
        EXPECT_EQ(core->state().result, c.expected) << c.name;
        executor->advance(RecorderCore::handOverSeconds);
        ASSERT_EQ(results.size(), 1u) << c.name;
        EXPECT_EQ(results[0], c.expected) << c.name;
    }
}

TEST_F(RecorderCoreTest, EscapeAloneCancelsAtOnceWithModifiersItIsRecorded) {
    start();
    key(KEY_ESC);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], std::nullopt);
    EXPECT_EQ(surface.closed, 1);

    results.clear();
    start();
    modifiers({K::command});
    key(KEY_ESC, {K::command});
    executor->advance(RecorderCore::handOverSeconds);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], (Chord{K::command, K::escape}));
}

TEST_F(RecorderCoreTest, RepeatsAndKeysDuringTheHandOverAreIgnored) {
    start();
    key(KEY_A, {}, true);
    EXPECT_FALSE(core->state().result);
    key(KEY_A);
    executor->advance(0.3);
    key(KEY_A, {}, true);
    key(KEY_B);
    key(KEY_ESC);  // Escape too, once a chord is taken
    EXPECT_TRUE(results.empty());
    executor->advance(0.4);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], (Chord{K::a}));
}

TEST_F(RecorderCoreTest, AKeyWithoutADesktopKeyBeepsAndRecordingGoesOn) {
    start();
    key(KEY_F13);
    key(KEY_KP5);
    core->keyRefused(true);  // a held AltGr chord's repeats beep once
    core->keyRefused(false);
    EXPECT_EQ(surface.beeps, 3);
    EXPECT_FALSE(core->state().result);
    key(KEY_KPENTER);
    executor->advance(1);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], (Chord{K::enter}));
}

TEST_F(RecorderCoreTest, ARestartDuringTheHandOverVoidsTheOldDeliveryAndCallback) {
    start();
    key(KEY_S);
    executor->advance(0.5);
    std::vector<std::optional<Chord>> second;
    core->start([&](std::optional<Chord> keys) { second.push_back(keys); });
    EXPECT_EQ(core->state(), RecorderState{});
    executor->advance(5);
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(second.empty());
    key(KEY_D);
    executor->advance(1);
    EXPECT_TRUE(results.empty());
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0], (Chord{K::d}));
    EXPECT_EQ(surface.opened, 2);
    EXPECT_EQ(surface.closed, 2);
}

TEST_F(RecorderCoreTest, StopNotifiesOnlyWhenAsked) {
    start();
    core->stop(false);
    core->stop(true);
    executor->advance(60);
    EXPECT_TRUE(results.empty());

    start();
    key(KEY_S);
    core->stop(true);  // during the hand-over: cancelled, and nothing delivered later
    executor->advance(60);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], std::nullopt);
    // Events after the stop change nothing.
    modifiers({K::shift});
    key(KEY_A);
    EXPECT_EQ(core->state().live, Chord{});
}

TEST_F(RecorderCoreTest, ClearForgetsHeldModifiersAndKeepsRecording) {
    start();
    modifiers({K::control});
    modifiers({K::control, K::shift});
    core->reset();
    EXPECT_EQ(core->state(), RecorderState{});
    modifiers({K::shift});
    modifiers({});
    executor->advance(1);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], Chord{K::shift});
}

TEST_F(RecorderCoreTest, NoChordWithinThirtySecondsCancels) {
    start();
    modifiers({K::shift});
    executor->advance(29.9);
    EXPECT_TRUE(results.empty());
    executor->advance(0.1);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], std::nullopt);
    EXPECT_EQ(surface.closed, 1);
}

TEST_F(RecorderCoreTest, AChordInTheLastMomentIsDeliveredNotCancelled) {
    start();
    executor->advance(29.5);
    key(KEY_S, {K::control});
    executor->advance(5);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], (Chord{K::control, K::s}));
}

TEST_F(RecorderCoreTest, ClearingAHandOverArmsTheTimeoutAgain) {
    start();
    key(KEY_S);
    core->reset();
    executor->advance(RecorderCore::timeoutSeconds);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], std::nullopt);
}

TEST_F(RecorderCoreTest, ACallbackMayStartTheNextRecording) {
    int calls = 0;
    std::function<void(std::optional<Chord>)> again = [&](std::optional<Chord>) {
        if (++calls == 1) {
            core->start(again);
        }
    };
    core->start(again);
    key(KEY_S);
    executor->advance(1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(surface.opened, 2);
    EXPECT_EQ(surface.closed, 1);
    EXPECT_TRUE(core->isRecording());
}

TEST_F(RecorderCoreTest, ReleasingTheCoreLeavesPendingTimersHarmless) {
    start();
    key(KEY_S);
    core.reset();
    EXPECT_EQ(executor->advance(60), 0u);
    EXPECT_TRUE(results.empty());
}

}  // namespace
}  // namespace quillory
