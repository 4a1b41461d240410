#include "media/studio_performance_trace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "media/studio_json_text.h"

namespace quillory {
namespace {

using Stage = StudioPerformanceTrace::Stage;
using Event = StudioPerformanceTrace::Event;
using Snapshot = StudioPerformanceTrace::Snapshot;

constexpr double origin = 100.0;

std::vector<std::uint64_t> serials(const std::vector<Event>& events) {
    std::vector<std::uint64_t> result;
    for (const Event& event : events) {
        result.push_back(event.serial.value_or(0));
    }
    return result;
}

TEST(StudioPerformanceTraceTest, CapacitiesAreClamped) {
    EXPECT_EQ(StudioPerformanceTrace(0, 0, origin).snapshot().capacity, 1);
    EXPECT_EQ(StudioPerformanceTrace(-5, 0, origin).snapshot().capacity, 1);
    EXPECT_EQ(StudioPerformanceTrace(10000, 0, origin).snapshot().capacity, 8192);
    EXPECT_EQ(StudioPerformanceTrace(1, 1000, origin).snapshot().startupCapacity, 256);

    StudioPerformanceTrace none(4, -3, origin);
    EXPECT_EQ(none.snapshot().startupCapacity, 0);
    none.record(Stage::peerConnected, {}, origin + 1.0);
    none.record(Stage::peerClosed, {}, origin + 2.0);
    const Snapshot snapshot = none.snapshot();
    EXPECT_TRUE(snapshot.startupEvents.empty());
    EXPECT_EQ(snapshot.startupEventsOmitted, 2);
    EXPECT_EQ(snapshot.recentEvents.size(), 2u);
}

TEST(StudioPerformanceTraceTest, RingKeepsTheLatestEventsOldestFirst) {
    StudioPerformanceTrace trace(3, 8, origin);
    trace.record(Stage::capture, {.serial = 1}, origin + 0.1);
    trace.record(Stage::capture, {.serial = 2}, origin + 0.2);
    Snapshot snapshot = trace.snapshot();
    EXPECT_EQ(serials(snapshot.recentEvents), (std::vector<std::uint64_t>{1, 2}));
    EXPECT_EQ(snapshot.overwrittenEvents, 0);

    for (std::uint64_t serial = 3; serial <= 5; ++serial) {
        trace.record(Stage::capture, {.serial = serial}, origin + 0.1 * serial);
    }
    snapshot = trace.snapshot();
    EXPECT_EQ(serials(snapshot.recentEvents), (std::vector<std::uint64_t>{3, 4, 5}));
    EXPECT_EQ(snapshot.overwrittenEvents, 2);
    EXPECT_EQ(snapshot.capacity, 3);

    // Wrapping many times keeps the order.
    for (std::uint64_t serial = 6; serial <= 100; ++serial) {
        trace.record(Stage::capture, {.serial = serial}, origin + 1.0);
    }
    snapshot = trace.snapshot();
    EXPECT_EQ(serials(snapshot.recentEvents), (std::vector<std::uint64_t>{98, 99, 100}));
    EXPECT_EQ(snapshot.overwrittenEvents, 97);
}

TEST(StudioPerformanceTraceTest, StartupEventsAreKeptApartForThirtySeconds) {
    StudioPerformanceTrace trace(2, 2, origin);
    trace.record(Stage::capture, {.serial = 1}, origin + 1.0);
    trace.record(Stage::encoderCreating, {.serial = 2}, origin + 30.0);
    trace.record(Stage::peerConnected, {.serial = 3}, origin + 30.001);
    trace.record(Stage::encoderDrop, {.serial = 4}, origin + 0.0);
    trace.record(Stage::encoderDrop, {.serial = 5}, origin + 2.0);

    const Snapshot snapshot = trace.snapshot();
    EXPECT_EQ(serials(snapshot.startupEvents), (std::vector<std::uint64_t>{2, 4}));
    EXPECT_EQ(snapshot.startupEventsOmitted, 1);
    // The ring has moved on; the startup list still holds the stream's beginning.
    EXPECT_EQ(serials(snapshot.recentEvents), (std::vector<std::uint64_t>{4, 5}));
    EXPECT_EQ(snapshot.startupEvents[0].elapsedSeconds, 30.0);
}

TEST(StudioPerformanceTraceTest, UnusableEventsChangeNothing) {
    StudioPerformanceTrace trace(4, 4, origin);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    trace.record(Stage::peerConnected, {}, origin - 0.5);
    trace.record(Stage::peerConnected, {}, nan);
    trace.record(Stage::peerConnected, {}, inf);
    trace.record(Stage::peerConnected, {.value = nan}, origin + 1.0);
    trace.record(Stage::peerConnected, {.value = -inf}, origin + 1.0);
    Snapshot snapshot = trace.snapshot();
    EXPECT_TRUE(snapshot.recentEvents.empty());
    EXPECT_TRUE(snapshot.startupEvents.empty());
    EXPECT_EQ(snapshot.startupEventsOmitted, 0);

    // Exactly at the origin (either zero) is an event; a target that cannot be written out is
    // left off rather than failing every report.
    trace.record(Stage::capture, {.targetTime = inf}, origin);
    trace.record(Stage::capture, {.targetTime = origin + 0.25}, origin - 0.0);
    snapshot = trace.snapshot();
    ASSERT_EQ(snapshot.recentEvents.size(), 2u);
    EXPECT_FALSE(snapshot.recentEvents[0].targetElapsedSeconds);
    EXPECT_EQ(snapshot.recentEvents[1].targetElapsedSeconds, 0.25);
    EXPECT_TRUE(snapshot.toJson());
}

TEST(StudioPerformanceTraceTest, FinishStopsRecordingButNotSnapshots) {
    StudioPerformanceTrace trace(4, 4, origin);
    trace.record(Stage::peerConnected, {}, origin + 1.0);
    trace.finish();
    trace.record(Stage::peerClosed, {}, origin + 2.0);
    trace.record(Stage::capture, {}, origin + 2.0);
    const Snapshot snapshot = trace.snapshot();
    EXPECT_TRUE(snapshot.finished);
    EXPECT_EQ(snapshot.recentEvents.size(), 1u);
    EXPECT_EQ(snapshot.startupEvents.size(), 1u);
    EXPECT_EQ(snapshot.startupEventsOmitted, 0);
    EXPECT_EQ(snapshot.clock.size(), 65u);
}

Event fullEvent() {
    StudioAdaptationAssessment assessment;
    assessment.reason = "held";
    assessment.retentionBitrateBps = 1.5e6;
    return Event{
        {7, 0.5, Stage::resolutionDecision, 1.25, std::numeric_limits<std::uint32_t>::max(), -42,
         std::numeric_limits<std::uint64_t>::max(),
         Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"), 1920, 1080, -3.5, true, false},
        assessment};
}

TEST(StudioPerformanceTraceTest, SnapshotRoundTripsThroughSortedJson) {
    StudioPerformanceTrace trace(4, 2, origin);
    Event event = fullEvent();
    trace.record(event.stage,
                 {event.rtpTimestamp, event.captureTimestampNs, event.serial, event.epoch,
                  event.width, event.height, event.value, event.keyframe, event.accepted,
                  event.resolution, event.submissionID, origin + 0.5},
                 origin + 1.25);
    trace.record(Stage::capture, {}, origin + 2.0);
    const Snapshot snapshot = trace.snapshot();
    ASSERT_EQ(snapshot.recentEvents.front(), event);

    const std::optional<nlohmann::json> json = snapshot.toJson();
    ASSERT_TRUE(json);
    const std::optional<std::string> text = prettyJsonText(*json);
    ASSERT_TRUE(text);
    EXPECT_EQ(Snapshot::fromJson(nlohmann::json::parse(*text)), snapshot);
    EXPECT_EQ(text->find("{\n  \"capacity\": 4,\n  \"clock\": "), 0u);

    const nlohmann::json& first = json->at("recentEvents").at(0);
    EXPECT_EQ(first.at("epoch"), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(first.at("stage"), "resolutionDecision");
    EXPECT_EQ(first.at("serial").get<std::uint64_t>(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(first.size(), 14u);
    // Absent fields write no key, not null.
    EXPECT_EQ(json->at("recentEvents").at(1).dump(), R"({"elapsedSeconds":2.0,"stage":"capture"})");
}

TEST(StudioPerformanceTraceTest, DecodingRefusesBrokenEvents) {
    const nlohmann::json good = *fullEvent().toJson();
    EXPECT_EQ(Event::fromJson(good), fullEvent());

    const auto without = [&](const char* key) {
        nlohmann::json json = good;
        json.erase(key);
        return json;
    };
    const auto with = [&](const char* key, nlohmann::json value) {
        nlohmann::json json = good;
        json[key] = std::move(value);
        return json;
    };
    EXPECT_FALSE(Event::fromJson(without("stage")));
    EXPECT_FALSE(Event::fromJson(without("elapsedSeconds")));
    EXPECT_TRUE(Event::fromJson(without("epoch")));
    EXPECT_FALSE(Event::fromJson(with("stage", "teleported")));
    EXPECT_FALSE(Event::fromJson(with("rtpTimestamp", 4294967296LL)));
    EXPECT_FALSE(Event::fromJson(with("serial", -1)));
    EXPECT_FALSE(Event::fromJson(with("width", 1.5)));
    EXPECT_FALSE(Event::fromJson(with("keyframe", 1)));
    EXPECT_FALSE(Event::fromJson(with("epoch", "not-a-uuid")));
    EXPECT_FALSE(Event::fromJson(with("resolution", nlohmann::json::object())));
    EXPECT_EQ(Event::fromJson(with("unknown", 1)), fullEvent());

    nlohmann::json snapshot = *StudioPerformanceTrace(2, 2, origin).snapshot().toJson();
    EXPECT_TRUE(Snapshot::fromJson(snapshot));
    snapshot.erase("finished");
    EXPECT_FALSE(Snapshot::fromJson(snapshot));
}

TEST(StudioPerformanceTraceTest, EventsThatJsonCannotHoldFailToEncode) {
    Event event = fullEvent();
    event.value = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(event.toJson());
    event = fullEvent();
    event.resolution->healthySeconds = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(event.toJson());
    Snapshot snapshot;
    snapshot.recentEvents.push_back(event);
    EXPECT_FALSE(snapshot.toJson());
}

}  // namespace
}  // namespace quillory
