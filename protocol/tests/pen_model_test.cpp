#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "protocol/pen_event_timeline.h"
#include "protocol/stroke_gate.h"

namespace quillory {
namespace {

using Phase = PenSample::Phase;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

PenSample sample(std::uint64_t sequence, Phase phase) {
    return {
        .sequence = sequence, .phase = phase, .x = 0.5, .y = 0.5, .pressure = 0.5, .timestamp = 1};
}

TEST(PenSample, Validity) {
    EXPECT_TRUE(sample(0, Phase::began).isValid());
    PenSample edge = sample(0, Phase::moved);
    edge.x = 1, edge.y = 0, edge.pressure = 1, edge.altitude = std::numbers::pi / 2,
    edge.azimuth = -7, edge.timestamp = 0;
    EXPECT_TRUE(edge.isValid());

    const auto broken = [](auto change) {
        PenSample value = sample(0, Phase::moved);
        change(value);
        return value.isValid();
    };
    EXPECT_FALSE(broken([](PenSample& s) { s.x = 1.0000001; }));
    EXPECT_FALSE(broken([](PenSample& s) { s.y = -0.0001; }));
    EXPECT_FALSE(broken([](PenSample& s) { s.pressure = kNaN; }));
    EXPECT_FALSE(
        broken([](PenSample& s) { s.altitude = std::nextafter(std::numbers::pi / 2, 4.0); }));
    EXPECT_FALSE(broken([](PenSample& s) { s.azimuth = kInfinity; }));
    EXPECT_FALSE(broken([](PenSample& s) { s.timestamp = -1e-9; }));
    EXPECT_FALSE(broken([](PenSample& s) { s.timestamp = kInfinity; }));
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

TEST(PenEventTimeline, MapsOntoTheLocalClock) {
    PenEventTimeline timeline;
    const std::vector<double> first{10.0, 10.5, 11.0};
    EXPECT_EQ(timeline.map(first, 100.0), (std::vector<double>{99.0, 99.5, 100.0}));
    EXPECT_EQ(timeline.offset, 89.0);
    EXPECT_EQ(timeline.previous, 100.0);

    // A batch that arrives late keeps the smaller offset, so it does not jump ahead...
    const std::vector<double> late{11.5};
    EXPECT_EQ(timeline.map(late, 102.0), (std::vector<double>{100.5}));
    // ...and a faster link shrinks the offset for good.
    const std::vector<double> fast{12.0};
    EXPECT_EQ(timeline.map(fast, 100.8), (std::vector<double>{100.8}));
    EXPECT_DOUBLE_EQ(*timeline.offset, 88.8);
}

TEST(PenEventTimeline, ResultsRiseStrictlyAndStayWithinPresent) {
    PenEventTimeline timeline;
    // Out-of-order and repeated timestamps still give strictly increasing times.
    const std::vector<double> tangled{5.0, 4.0, 5.0, 5.0};
    const auto times = timeline.map(tangled, 50.0);
    ASSERT_EQ(times.size(), 4U);
    EXPECT_EQ(times[0], 50.0);
    for (std::size_t index = 1; index < times.size(); ++index) {
        EXPECT_GT(times[index], times[index - 1]);
        EXPECT_EQ(times[index], std::nextafter(times[index - 1], kInfinity));
    }

    // Clamped to 0 at the bottom (then just above the initial previous value of 0), and never
    // below the previous result of an earlier batch.
    PenEventTimeline early;
    const std::vector<double> ancient{0.0, 10.0};
    EXPECT_EQ(early.map(ancient, 5.0)[0], std::nextafter(0.0, 1.0));
    const std::vector<double> stale{1.0};
    EXPECT_GT(early.map(stale, 6.0)[0], 5.0);

    PenEventTimeline negative;
    const std::vector<double> one{3.0};
    const auto beforeBoot = negative.map(one, -2.0);
    ASSERT_EQ(beforeBoot.size(), 1U);
    EXPECT_GT(beforeBoot[0], 0.0);
}

TEST(PenEventTimeline, NonFiniteInputChangesNothing) {
    PenEventTimeline timeline;
    const std::vector<double> good{1.0};
    timeline.map(good, 10.0);
    const PenEventTimeline before = timeline;
    const std::vector<double> nan{1.0, kNaN};
    const std::vector<double> infinite{kInfinity};
    const std::vector<double> huge{-1.7e308};
    EXPECT_TRUE(timeline.map(nan, 11.0).empty());
    EXPECT_TRUE(timeline.map(infinite, 11.0).empty());
    EXPECT_TRUE(timeline.map(good, kNaN).empty());
    EXPECT_TRUE(timeline.map({}, 11.0).empty());
    EXPECT_TRUE(timeline.map(huge, 1.7e308).empty());  // the offset itself would overflow
    EXPECT_EQ(timeline.offset, before.offset);
    EXPECT_EQ(timeline.previous, before.previous);
}

}  // namespace
}  // namespace quillory
