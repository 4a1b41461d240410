#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include "app/desktop-control/keyboard_injector.h"
#include "app/desktop-control/pen_injector.h"
#include "app/desktop-control/tests/worker_fixture.h"
#include "platform/input/recording_input_sink.h"
#include "platform/keyboard/keymap.h"

namespace quillory::testing {
namespace {

using Phase = PenSample::Phase;
using T = InputEventType;

struct Pen : ::testing::Test {
    std::shared_ptr<RecordingInputSink> sink = std::make_shared<RecordingInputSink>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    PenInjector injector{sink, clock};
    Rect bounds{0, 0, 1920, 1080};
};

TEST_F(Pen, ABeganDuringAStrokeEndsTheStaleStrokeFirst) {
    injector.post(sample(1, Phase::began, 0, 0), 1000, false, 0, bounds);
    sink->clear();
    injector.post(sample(2, Phase::began, 1, 1), 1000, false, ModifierFlags::shift, bounds);
    const auto events = sink->events();
    EXPECT_EQ(types(events), (std::vector<T>{T::leftMouseUp, T::tabletProximity, T::tabletProximity,
                                             T::leftMouseDown}));
    EXPECT_FALSE(events[1].enteringProximity);
    EXPECT_TRUE(events[2].enteringProximity);
    EXPECT_EQ(events[3].location, (Point{1919, 1079}));
    EXPECT_EQ(events[3].flags, ModifierFlags::shift | ModifierFlags::nonCoalesced);
    // One sample's timestamp, several events: each still rises by at least 1 ns.
    for (std::size_t i = 1; i < events.size(); ++i) {
        EXPECT_EQ(events[i].timestamp, events[i - 1].timestamp + 1);
    }
}

TEST_F(Pen, DragNeedsMovementAndSamplesOutsideTheirPhaseOnlyMove) {
    injector.post(sample(1, Phase::began, 0.5, 0.5), 0, false, 0, bounds);
    injector.post(sample(2, Phase::moved, 0.5, 0.5), 0, true, 0, bounds);
    injector.post(sample(3, Phase::hover, 0.7, 0.7), 0, false, 0, bounds);
    EXPECT_EQ(types(sink->events()).back(), T::tabletPointer);
    EXPECT_EQ(sink->count(), 3u);
    EXPECT_EQ(injector.position(), bounds.map(0.7, 0.7));
    const auto down = sink->events()[1];
    EXPECT_EQ(down.clickState, 1);
    ASSERT_TRUE(down.tilt);
    EXPECT_NEAR(down.tilt->x, std::cos(1.0) * std::cos(0.3), 1e-12);
}

TEST_F(Pen, CancelledOnlyCleansUp) {
    injector.post(sample(1, Phase::began), 0, false, 0, bounds);
    sink->clear();
    injector.post(sample(2, Phase::cancelled, 0.9, 0.9), 0, false, 0, bounds);
    EXPECT_EQ(types(sink->events()), (std::vector<T>{T::leftMouseUp, T::tabletProximity}));
    EXPECT_TRUE(sink->allUp());
}

struct Keys : ::testing::Test {
    KeyboardInjector make(const std::string& layout) {
        return KeyboardInjector(sink, std::make_shared<KeyboardLayout>(Keymap::fromNames(layout)),
                                std::make_shared<FakeClock>());
    }
    static DesktopAction tap(std::vector<DesktopKey> keys) {
        DesktopAction action;
        action.kind = DesktopAction::Kind::tap;
        action.keys = std::move(keys);
        return action;
    }
    std::vector<std::tuple<T, std::uint16_t, bool, std::uint64_t>> keyEvents() const {
        std::vector<std::tuple<T, std::uint16_t, bool, std::uint64_t>> result;
        for (const auto& event : sink->events()) {
            result.emplace_back(event.type, event.keyCode, event.keyIsDown, event.flags);
        }
        return result;
    }
    std::shared_ptr<RecordingInputSink> sink = std::make_shared<RecordingInputSink>();
};

constexpr auto command = ModifierFlags::command;
constexpr auto shift = ModifierFlags::shift;

TEST_F(Keys, ATapCarriesTheFlagsOfTheModifiersDown) {
    auto keyboard = make("us");
    keyboard.perform(tap({DesktopKey::command, DesktopKey::c}));
    EXPECT_EQ(keyEvents(), (decltype(keyEvents()){{T::flagsChanged, KEY_LEFTMETA, true, command},
                                                  {T::keyDown, KEY_C, true, command},
                                                  {T::keyUp, KEY_C, false, command},
                                                  {T::flagsChanged, KEY_LEFTMETA, false, 0}}));
}

TEST_F(Keys, GermanAndFrenchCharactersBringTheirLevelModifiers) {
    auto german = make("de");
    german.perform(tap({DesktopKey::slash}));
    EXPECT_EQ(keyEvents(), (decltype(keyEvents()){{T::flagsChanged, KEY_LEFTSHIFT, true, shift},
                                                  {T::keyDown, KEY_7, true, shift},
                                                  {T::keyUp, KEY_7, false, shift},
                                                  {T::flagsChanged, KEY_LEFTSHIFT, false, 0}}));
    sink->clear();
    // AltGr is the layout's own business: it carries no flag of its own.
    german.perform(tap({DesktopKey::leftBracket}));
    EXPECT_EQ(keyEvents(), (decltype(keyEvents()){{T::flagsChanged, KEY_RIGHTALT, true, 0},
                                                  {T::keyDown, KEY_8, true, 0},
                                                  {T::keyUp, KEY_8, false, 0},
                                                  {T::flagsChanged, KEY_RIGHTALT, false, 0}}));
    sink->clear();
    auto french = make("fr");
    french.perform(tap({DesktopKey::control, DesktopKey::digit1}));
    EXPECT_EQ(keyEvents().size(), 6u);
    EXPECT_EQ(std::get<1>(keyEvents()[2]), KEY_1);
    EXPECT_EQ(std::get<3>(keyEvents()[2]), ModifierFlags::control | shift);
    EXPECT_TRUE(sink->allUp());
}

TEST_F(Keys, AChordTheLayoutCannotTypeIsRefusedWhole) {
    auto russian = make("ru");
    const Uuid token = Uuid::random();
    EXPECT_FALSE(russian.press({DesktopKey::control, DesktopKey::a}, token));
    russian.release(token);
    EXPECT_EQ(sink->count(), 0u);
    EXPECT_TRUE(russian.press({DesktopKey::control, DesktopKey::f5}, token));
}

TEST_F(Keys, SharedKeysGoUpWithTheirLastHold) {
    auto keyboard = make("us");
    const Uuid first = Uuid::random(), second = Uuid::random();
    keyboard.press({DesktopKey::shift, DesktopKey::a}, first);
    keyboard.press({DesktopKey::shift, DesktopKey::b}, second);
    keyboard.release(first);
    EXPECT_EQ(sink->keysDown(), (std::set<std::uint16_t>{KEY_LEFTSHIFT, KEY_B}));
    keyboard.release(second);
    EXPECT_TRUE(sink->allUp());

    for (int i = 0; i < 16; ++i) {
        EXPECT_TRUE(keyboard.press({DesktopKey::control}, Uuid::random()));
    }
    const auto before = sink->count();
    EXPECT_FALSE(keyboard.press({DesktopKey::x}, Uuid::random()));
    EXPECT_EQ(sink->count(), before);
    keyboard.releaseAll();
    EXPECT_TRUE(sink->allUp());
    sink->clear();
    keyboard.releaseAll();
    EXPECT_EQ(sink->count(), 0u);
}

TEST_F(Keys, TheNextChordFollowsALayoutChange) {
    auto layout = std::make_shared<KeyboardLayout>(Keymap::fromNames("us"));
    KeyboardInjector keyboard(sink, layout, std::make_shared<FakeClock>());
    keyboard.perform(tap({DesktopKey::z}));
    layout->replace(Keymap::fromNames("de"));
    keyboard.perform(tap({DesktopKey::z}));
    const auto events = keyEvents();
    EXPECT_EQ(std::get<1>(events[0]), KEY_Z);
    EXPECT_EQ(std::get<1>(events[2]), KEY_Y);
}

}  // namespace
}  // namespace quillory::testing
