#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "protocol/desktop_key.h"
#include "protocol/held_desktop_keys.h"
#include "protocol/pen_event_timeline.h"
#include "protocol/stroke_gate.h"

namespace quillory {
namespace {

using enum DesktopKey;
using Keys = std::vector<DesktopKey>;

TEST(DesktopKey, RawValuesRoundTripExactly) {
    const auto keys = allCases<DesktopKey>();
    ASSERT_EQ(keys.size(), 77U);
    for (const DesktopKey key : keys) {
        EXPECT_EQ(fromRawValue<DesktopKey>(rawValue(key)), key);
    }
    for (const char* text : {"[", "digit0", "A", "F1", "slash", " a", ""}) {
        EXPECT_FALSE(fromRawValue<DesktopKey>(text)) << text;
    }
}

TEST(DesktopKey, DisplayTextOrdersModifiersAndSpacesALoneSpace) {
    EXPECT_EQ(displayText(Keys{}), "");
    EXPECT_EQ(displayText(Keys{command, shift, option, control, z}), "⌃⌥⇧⌘Z");
    EXPECT_EQ(displayText(Keys{z, command}), "⌘Z");
    EXPECT_EQ(displayText(Keys{command, space}), "⌘ Space");
    EXPECT_EQ(displayText(Keys{space}), "Space");
    // Only a second part that is exactly "Space" gets the blank.
    EXPECT_EQ(displayText(Keys{shift, space, a}), "⇧SpaceA");
    EXPECT_EQ(displayText(Keys{command, command, s}), "⌘S");
}

TEST(DesktopKey, KeyChords) {
    EXPECT_TRUE(isValidKeyChord(Keys{a}));
    EXPECT_TRUE(isValidKeyChord(Keys{command, control, option, shift, f5}));
    EXPECT_TRUE(isValidKeyChord(Keys{command, shift}));
    EXPECT_FALSE(isValidKeyChord(Keys{}));
    EXPECT_FALSE(isValidKeyChord(Keys{command, command}));
    EXPECT_FALSE(isValidKeyChord(Keys{a, b}));
    EXPECT_FALSE(isValidKeyChord(Keys{command, a, shift, b}));
    EXPECT_FALSE(isValidKeyChord(Keys{command, control, option, shift, a, command}));
}

Uuid token(std::uint8_t value) {
    Uuid::Bytes bytes{};
    bytes[15] = value;
    return Uuid(bytes);
}

TEST(HeldDesktopKeys, SharedKeysArePressedOnceAndReleasedLast) {
    HeldDesktopKeys held;
    EXPECT_EQ(held.begin(token(1), Keys{z, command, shift, option}),
              (Keys{command, shift, option, z}));
    EXPECT_EQ(held.begin(token(2), Keys{command, a}), (Keys{a}));
    EXPECT_EQ(held.begin(token(1), Keys{b}), Keys{});  // token already held
    EXPECT_EQ(held.holds().size(), 2U);

    // Reverse chord order, non-modifiers first; command stays down for the second hold.
    EXPECT_EQ(held.end(token(1)), (Keys{z, option, shift}));
    EXPECT_EQ(held.end(token(1)), Keys{});
    EXPECT_EQ(held.end(token(2)), (Keys{a, command}));
    EXPECT_TRUE(held.empty());
}

TEST(HeldDesktopKeys, AtMostSixteenHolds) {
    HeldDesktopKeys held;
    for (std::uint8_t index = 0; index < HeldDesktopKeys::maxHolds; ++index) {
        held.begin(token(index), Keys{shift});
    }
    EXPECT_EQ(held.begin(token(99), Keys{a}), Keys{});
    EXPECT_EQ(held.holds().size(), 16U);
    EXPECT_EQ(held.end(token(99)), Keys{});
    // Shift is released only with the sixteenth hold.
    for (std::uint8_t index = 0; index < 15; ++index) {
        EXPECT_EQ(held.end(token(index)), Keys{});
    }
    EXPECT_EQ(held.begin(token(99), Keys{a}), Keys{a});
    EXPECT_EQ(held.end(token(15)), Keys{shift});
}

TEST(HeldDesktopKeys, ReleaseAllGivesEveryKeyOnceNonModifiersFirst) {
    HeldDesktopKeys held;
    held.begin(token(1), Keys{command, c});
    held.begin(token(2), Keys{shift, command, v});
    EXPECT_EQ(held.releaseAll(), (Keys{c, v, command, shift}));
    EXPECT_TRUE(held.empty());
}

using Phase = PenSample::Phase;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

PenSample sample(std::uint64_t sequence, Phase phase) {
    return {
        .sequence = sequence, .phase = phase, .x = 0.5, .y = 0.5, .pressure = 0.5, .timestamp = 1};
}

TEST(PenSample, Validity) {
    PenSample edge = sample(0, Phase::began);
    edge.x = 1, edge.y = 0, edge.pressure = 1, edge.altitude = std::numbers::pi / 2,
    edge.azimuth = -7, edge.timestamp = 0;
    EXPECT_TRUE(edge.isValid());
    for (const auto change :
         {+[](PenSample& s) { s.x = 1.0000001; }, +[](PenSample& s) { s.y = -0.0001; },
          +[](PenSample& s) { s.pressure = notANumber; },
          +[](PenSample& s) { s.altitude = std::nextafter(std::numbers::pi / 2, 4.0); },
          +[](PenSample& s) { s.azimuth = infinity; }, +[](PenSample& s) { s.timestamp = -1e-9; },
          +[](PenSample& s) { s.timestamp = infinity; }}) {
        PenSample broken = sample(0, Phase::moved);
        change(broken);
        EXPECT_FALSE(broken.isValid());
    }
}

TEST(StrokeGate, FollowsTheStrokeOfAPen) {
    StrokeGate gate;
    EXPECT_TRUE(gate.accept(sample(1, Phase::hover)));
    EXPECT_FALSE(gate.accept(sample(2, Phase::moved)));  // not down
    EXPECT_FALSE(gate.accept(sample(3, Phase::ended)));
    EXPECT_TRUE(gate.accept(sample(4, Phase::began)));
    EXPECT_TRUE(gate.isDown);
    EXPECT_FALSE(gate.accept(sample(5, Phase::hover)));  // hovering while down
    EXPECT_TRUE(gate.accept(sample(6, Phase::moved)));
    EXPECT_TRUE(gate.accept(sample(7, Phase::began)));  // a new stroke may start while down
    EXPECT_TRUE(gate.accept(sample(8, Phase::cancelled)));
    EXPECT_FALSE(gate.isDown);
    EXPECT_FALSE(gate.accept(sample(9, Phase::cancelled)));
    EXPECT_TRUE(gate.accept(sample(10, Phase::hover)));
}

TEST(StrokeGate, SequencesMustRiseAndRefusedPhasesStillCount) {
    StrokeGate gate;
    EXPECT_TRUE(gate.accept(sample(0, Phase::began)));
    EXPECT_EQ(gate.lastSequence, 0U);
    EXPECT_FALSE(gate.accept(sample(0, Phase::moved)));  // repeated
    EXPECT_FALSE(gate.accept(sample(5, Phase::hover)));  // refused by phase, sequence kept
    EXPECT_EQ(gate.lastSequence, 5U);
    EXPECT_FALSE(gate.accept(sample(4, Phase::moved)));
    EXPECT_TRUE(gate.accept(sample(6, Phase::moved)));

    // An invalid sample neither passes nor moves the sequence.
    PenSample invalid = sample(100, Phase::ended);
    invalid.pressure = 2;
    EXPECT_FALSE(gate.accept(invalid));
    EXPECT_EQ(gate.lastSequence, 6U);
    EXPECT_TRUE(gate.isDown);
    EXPECT_TRUE(gate.accept(sample(std::numeric_limits<std::uint64_t>::max(), Phase::ended)));
    EXPECT_FALSE(gate.accept(sample(std::numeric_limits<std::uint64_t>::max(), Phase::began)));
}

using Times = std::vector<double>;

Times map(PenEventTimeline& timeline, const Times& timestamps, double present) {
    return timeline.map(timestamps, present);
}

TEST(PenEventTimeline, MapsOntoTheLocalClock) {
    PenEventTimeline timeline;
    EXPECT_EQ(map(timeline, {10.0, 10.5, 11.0}, 100.0), (Times{99.0, 99.5, 100.0}));
    EXPECT_EQ(timeline.offset, 89.0);
    EXPECT_EQ(timeline.previous, 100.0);

    // A batch that arrives late keeps the smaller offset, so it does not jump ahead...
    EXPECT_EQ(map(timeline, {11.5}, 102.0), Times{100.5});
    // ...and a faster link shrinks the offset for good.
    EXPECT_EQ(map(timeline, {12.0}, 100.8), Times{100.8});
    EXPECT_DOUBLE_EQ(*timeline.offset, 88.8);
}

TEST(PenEventTimeline, ResultsRiseStrictlyAndStayWithinPresent) {
    PenEventTimeline timeline;
    // Out-of-order and repeated timestamps still give strictly increasing times.
    const Times times = map(timeline, {5.0, 4.0, 5.0, 5.0}, 50.0);
    ASSERT_EQ(times.size(), 4U);
    EXPECT_EQ(times[0], 50.0);
    for (std::size_t index = 1; index < times.size(); ++index) {
        EXPECT_EQ(times[index], std::nextafter(times[index - 1], infinity));
    }

    // Clamped to 0 at the bottom (then just above the initial previous value of 0), and never
    // below the previous result of an earlier batch.
    PenEventTimeline early;
    EXPECT_EQ(map(early, {0.0, 10.0}, 5.0)[0], std::nextafter(0.0, 1.0));
    EXPECT_GT(map(early, {1.0}, 6.0)[0], 5.0);

    PenEventTimeline negative;
    const Times beforeBoot = map(negative, {3.0}, -2.0);
    ASSERT_EQ(beforeBoot.size(), 1U);
    EXPECT_GT(beforeBoot[0], 0.0);
}

TEST(PenEventTimeline, NonFiniteInputChangesNothing) {
    PenEventTimeline timeline;
    map(timeline, {1.0}, 10.0);
    const PenEventTimeline before = timeline;
    EXPECT_TRUE(map(timeline, {1.0, notANumber}, 11.0).empty());
    EXPECT_TRUE(map(timeline, {infinity}, 11.0).empty());
    EXPECT_TRUE(map(timeline, {1.0}, notANumber).empty());
    EXPECT_TRUE(map(timeline, {}, 11.0).empty());
    EXPECT_TRUE(map(timeline, {-1.7e308}, 1.7e308).empty());  // the offset itself would overflow
    EXPECT_EQ(timeline.offset, before.offset);
    EXPECT_EQ(timeline.previous, before.previous);
}

}  // namespace
}  // namespace quillory
