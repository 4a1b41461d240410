#include "media/studio_performance_trace.h"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>
#include <tuple>

#include "media/studio_json_text.h"
#include "studio_test_fixtures.h"

namespace quillory {
namespace {

using Stage = StudioPerformanceTrace::Stage;
using Event = StudioPerformanceTrace::Event;
using Snapshot = StudioPerformanceTrace::Snapshot;
using Json = nlohmann::json;

constexpr double origin = 100.0;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

std::vector<std::uint64_t> serials(const std::vector<Event>& events) {
    std::vector<std::uint64_t> result;
    for (const Event& event : events) {
        result.push_back(event.serial.value_or(0));
    }
    return result;
}

TEST(StudioPerformanceTraceTest, CapacitiesAreClamped) {
    for (const auto& [capacity, startup, clamped, startupClamped] :
         {std::tuple{0, -3, 1, 0}, {-5, 0, 1, 0}, {10000, 1000, 8192, 256}}) {
        const Snapshot snapshot = StudioPerformanceTrace(capacity, startup, origin).snapshot();
        EXPECT_EQ(snapshot.capacity, clamped);
        EXPECT_EQ(snapshot.startupCapacity, startupClamped);
    }
}

TEST(StudioPerformanceTraceTest, RingKeepsTheLatestEventsOldestFirst) {
    StudioPerformanceTrace trace(3, 8, origin);
    // Partly filled, just wrapped, and wrapped many times.
    const std::pair<std::uint64_t, std::vector<std::uint64_t>> stops[] = {
        {2, {1, 2}}, {5, {3, 4, 5}}, {100, {98, 99, 100}}};
    std::uint64_t serial = 0;
    for (const auto& [last, kept] : stops) {
        while (serial < last) {
            ++serial;
            trace.record(Stage::capture, {.fields{.serial = serial}}, origin + 0.1 * static_cast<double>(serial));
        }
        const Snapshot snapshot = trace.snapshot();
        EXPECT_EQ(serials(snapshot.recentEvents), kept);
        EXPECT_EQ(snapshot.overwrittenEvents, static_cast<std::int64_t>(last - kept.size()));
    }
}

TEST(StudioPerformanceTraceTest, StartupEventsAreKeptApartForThirtySeconds) {
    StudioPerformanceTrace trace(2, 2, origin);
    trace.record(Stage::capture, {.fields{.serial = 1}}, origin + 1.0);
    trace.record(Stage::encoderCreating, {.fields{.serial = 2}}, origin + 30.0);
    trace.record(Stage::peerConnected, {.fields{.serial = 3}}, origin + 30.001);
    trace.record(Stage::encoderDrop, {.fields{.serial = 4}}, origin + 0.0);
    trace.record(Stage::encoderDrop, {.fields{.serial = 5}}, origin + 2.0);

    const Snapshot snapshot = trace.snapshot();
    EXPECT_EQ(serials(snapshot.startupEvents), (std::vector<std::uint64_t>{2, 4}));
    EXPECT_EQ(snapshot.startupEventsOmitted, 1);
    // The ring has moved on; the startup list still holds the stream's beginning.
    EXPECT_EQ(serials(snapshot.recentEvents), (std::vector<std::uint64_t>{4, 5}));
    EXPECT_EQ(snapshot.startupEvents[0].elapsedSeconds, 30.0);
}

TEST(StudioPerformanceTraceTest, UnusableEventsChangeNothingAndFinishStopsRecording) {
    StudioPerformanceTrace trace(4, 4, origin);
    for (const auto& [time, value] : {std::pair{origin - 0.5, 0.0},
                                      {nan, 0.0},
                                      {inf, 0.0},
                                      {origin + 1.0, nan},
                                      {origin + 1.0, -inf}}) {
        trace.record(Stage::peerConnected, {.fields{.value = value}}, time);
    }
    Snapshot snapshot = trace.snapshot();
    EXPECT_TRUE(snapshot.recentEvents.empty());
    EXPECT_TRUE(snapshot.startupEvents.empty());

    // Exactly at the origin (either zero) is an event; a target that cannot be written out is
    // left off rather than failing every report.
    trace.record(Stage::peerConnected, {.targetTime = inf}, origin);
    trace.record(Stage::capture, {.targetTime = origin + 0.25}, origin - 0.0);
    trace.finish();
    trace.record(Stage::peerClosed, {}, origin + 2.0);
    trace.record(Stage::capture, {}, origin + 2.0);
    snapshot = trace.snapshot();
    EXPECT_TRUE(snapshot.finished);
    ASSERT_EQ(snapshot.recentEvents.size(), 2u);
    EXPECT_FALSE(snapshot.recentEvents[0].targetElapsedSeconds);
    EXPECT_EQ(snapshot.recentEvents[1].targetElapsedSeconds, 0.25);
    EXPECT_EQ(snapshot.startupEvents.size(), 1u);
    EXPECT_EQ(snapshot.startupEventsOmitted, 0);
}

TEST(StudioPerformanceTraceTest, SnapshotRoundTripsThroughSortedJSON) {
    StudioPerformanceTrace trace(4, 2, origin);
    StudioAdaptationAssessment assessment;
    assessment.reason = "held";
    trace.record(Stage::resolutionDecision,
                 {{7,
                   {},
                   Stage::capture,
                   0.0,
                   std::numeric_limits<std::uint32_t>::max(),
                   -42,
                   std::numeric_limits<std::uint64_t>::max(),
                   Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"),
                   1920,
                   1080,
                   -3.5,
                   true,
                   false},
                  assessment,
                  origin + 0.5},
                 origin + 1.25);
    trace.record(Stage::capture, {}, origin + 2.0);
    const Snapshot snapshot = trace.snapshot();
    EXPECT_EQ(snapshot.recentEvents[0].targetElapsedSeconds, 0.5);

    const JSONText text = prettyJSONText(snapshot.toJSON());
    ASSERT_TRUE(text);
    EXPECT_EQ(Snapshot::fromJSON(Json::parse(*text)), snapshot);
    const Json json = Json::parse(*text);
    EXPECT_EQ(json["recentEvents"][0]["epoch"], "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    // Absent fields write no key, not null.
    EXPECT_EQ(json["recentEvents"][1].dump(), R"({"elapsedSeconds":2.0,"stage":"capture"})");
    EXPECT_FALSE(Snapshot::fromJSON(testing::with(json, "recentEvents", Json::array({1}))));
}

}  // namespace
}  // namespace quillory
