#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include "app/desktop-control/keyboard_injector.h"
#include "app/desktop-control/pen_injector.h"
#include "app/desktop-control/tests/worker_fixture.h"
#include "platform/clock/testing/fake_clock.h"

namespace quillory::testing {
namespace {

TEST(PenInjector, StrokesBeginAfterAStaleOneEndsAndOnlyMovingDrags) {
    auto sink = std::make_shared<RecordingInputSink>();
    PenInjector pen(sink, std::make_shared<FakeClock>());
    const Rect bounds{0, 0, 1920, 1080};
    pen.post(sample(1, Phase::began, 0, 0), 1000, false, 0, bounds);
    pen.post(sample(2, Phase::began, 1, 1), 1000, false, ModifierFlags::shift, bounds);
    pen.post(sample(3, Phase::moved, 1, 1), 0, true, 0, bounds);       // a drag without movement
    pen.post(sample(4, Phase::hover, 0.7, 0.7), 0, false, 0, bounds);  // moves nothing while down
    pen.post(sample(5, Phase::cancelled, 0.9, 0.9), 0, false, 0, bounds);
    const auto events = sink->events();
    EXPECT_EQ(types(events),
              (std::vector<T>{T::tabletProximity, T::leftMouseDown, T::leftMouseUp,
                              T::tabletProximity, T::tabletProximity, T::leftMouseDown,
                              T::tabletPointer, T::leftMouseUp, T::tabletProximity}));
    EXPECT_FALSE(events[3].enteringProximity);
    EXPECT_TRUE(events[4].enteringProximity);
    EXPECT_EQ(events[5].location, (Point{1919, 1079}));
    EXPECT_EQ(events[5].flags, ModifierFlags::shift | ModifierFlags::nonCoalesced);
    EXPECT_EQ(events[5].clickState, 1);
    ASSERT_TRUE(events[5].tilt);
    EXPECT_NEAR(events[5].tilt->x, std::cos(1.0) * std::cos(0.3), 1e-12);
    EXPECT_EQ(pen.position(), bounds.map(0.7, 0.7));
    // One sample's timestamp, several events: each still rises by at least 1 ns.
    for (std::size_t i = 1; i < 6; ++i) {
        EXPECT_EQ(events[i].timestamp, events[i - 1].timestamp + 1);
    }
}

using KeyEvents = std::vector<std::tuple<T, std::uint16_t, bool, std::uint64_t>>;

struct Keys : ::testing::Test {
    KeyboardInjector make(const std::string& layout) {
        return {sink, std::make_shared<KeyboardLayout>(Keymap::fromNames(layout).value()),
                std::make_shared<FakeClock>()};
    }
    KeyEvents tap(KeyboardInjector& keyboard, std::vector<DesktopKey> keys) {
        sink->clear();
        keyboard.perform({.kind = DesktopAction::Kind::tap, .keys = std::move(keys)});
        KeyEvents result;
        for (const auto& event : sink->events()) {
            result.emplace_back(event.type, event.keyCode, event.keyIsDown, event.flags);
        }
        return result;
    }
    std::shared_ptr<RecordingInputSink> sink = std::make_shared<RecordingInputSink>();
};

constexpr auto command = ModifierFlags::command;
constexpr auto control = ModifierFlags::control;
constexpr auto shift = ModifierFlags::shift;
constexpr auto F = T::flagsChanged;

// Taps carry the flags of the modifiers down; a layout's level modifiers come with the key,
// AltGr without a flag of its own.
TEST_F(Keys, TapsBringTheModifiersTheirLayoutNeeds) {
    auto us = make("us"), german = make("de"), french = make("fr");
    // clang-format off
    EXPECT_EQ(tap(us, {DesktopKey::command, DesktopKey::c}), (KeyEvents{{F, KEY_LEFTMETA, true, command},
        {T::keyDown, KEY_C, true, command}, {T::keyUp, KEY_C, false, command}, {F, KEY_LEFTMETA, false, 0}}));
    EXPECT_EQ(tap(german, {DesktopKey::slash}), (KeyEvents{{F, KEY_LEFTSHIFT, true, shift},
        {T::keyDown, KEY_7, true, shift}, {T::keyUp, KEY_7, false, shift}, {F, KEY_LEFTSHIFT, false, 0}}));
    EXPECT_EQ(tap(german, {DesktopKey::leftBracket}), (KeyEvents{{F, KEY_RIGHTALT, true, 0},
        {T::keyDown, KEY_8, true, 0}, {T::keyUp, KEY_8, false, 0}, {F, KEY_RIGHTALT, false, 0}}));
    EXPECT_EQ(tap(french, {DesktopKey::control, DesktopKey::digit1}), (KeyEvents{
        {F, KEY_LEFTCTRL, true, control}, {F, KEY_LEFTSHIFT, true, control | shift},
        {T::keyDown, KEY_1, true, control | shift}, {T::keyUp, KEY_1, false, control | shift},
        {F, KEY_LEFTSHIFT, false, control}, {F, KEY_LEFTCTRL, false, 0}}));
    // clang-format on
    auto layout = std::make_shared<KeyboardLayout>(Keymap::fromNames("us").value());
    KeyboardInjector following(sink, layout, std::make_shared<FakeClock>());
    layout->replace(Keymap::fromNames("de").value());  // the next chord follows a layout change
    EXPECT_EQ(std::get<1>(tap(following, {DesktopKey::z})[0]), KEY_Y);
}

TEST_F(Keys, AChordTheLayoutCannotTypeIsRefusedWhole) {
    auto russian = make("ru");
    const Uuid token = Uuid::random();
    EXPECT_FALSE(russian.press({DesktopKey::control, DesktopKey::a}, token));
    russian.release(token);
    EXPECT_EQ(sink->count(), 0u);
    EXPECT_TRUE(russian.press({DesktopKey::control, DesktopKey::f5}, token));
}

TEST_F(Keys, SharedKeysGoUpWithTheirLastHoldOfSixteen) {
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
}

}  // namespace
}  // namespace quillory::testing
