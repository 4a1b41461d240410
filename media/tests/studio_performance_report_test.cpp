#include <gtest/gtest.h>

#include <limits>
#include <regex>

#include "media/studio_performance.h"
#include "studio_test_fixtures.h"

namespace quillory {
namespace {

using Json = nlohmann::json;

class StudioPerformanceReportTest : public ::testing::Test {
  protected:
    StudioPerformance make(std::optional<int> longEdge, int capacity = 2) {
        return StudioPerformance(sessionID, "sender", longEdge, capacity,
                                 {{"preset", "balanced"}, {"b", "\xff"}}, environment);
    }

    void feed(StudioPerformance& performance, double seconds, bool limitation = true) {
        clock->set(static_cast<std::uint64_t>((10.0 + seconds) * 1e9));
        std::map<std::string, StudioStatisticValue> members{{"framesEncoded", seconds * 60.0},
                                                            {"totalEncodeTime", seconds * 0.3}};
        if (limitation) {
            members["qualityLimitationReason"] = std::string("cpu");
        }
        performance.parseStatistics({{testing::entry("OT01", "outbound-rtp", seconds, members)}},
                                    {});
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(10'000'000'000);
    StudioPerformance::Environment environment = testing::fakeEnvironment(clock);
    Uuid sessionID = *Uuid::parse("0F0E0D0C-0B0A-4908-8706-050403020100");
};

TEST_F(StudioPerformanceReportTest, WritesEveryFieldSortedAndPretty) {
    StudioPerformance performance = make(2560);
    for (int k = 1; k <= 3; ++k) {
        feed(performance, k, k != 3);
    }
    const JSONText text = performance.reportJSON();
    ASSERT_TRUE(text);
    // Keys appear in sorted order in the text itself, one member per line.
    EXPECT_EQ(text->find("{\n  \"appBuild\": \"45\",\n  \"appVersion\": \"1.2.3\",\n"), 0u);
    const Json json = Json::parse(*text);
    EXPECT_EQ(json.size(), 16u);
    EXPECT_EQ(json["sessionID"], "0F0E0D0C-0B0A-4908-8706-050403020100");
    EXPECT_TRUE(std::regex_match(json["started"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
    // Text that is not UTF-8 is replaced rather than failing the report.
    EXPECT_EQ(json["configuration"]["b"], "\xEF\xBF\xBD");
    // Every sample ever taken is in the window or counted as discarded.
    ASSERT_EQ(json["samples"].size(), 2u);
    EXPECT_EQ(json["samplesDiscarded"], 1);
    EXPECT_EQ(StudioPerformance::Sample::fromJSON(json["samples"][1]), performance.samples()[1]);
    EXPECT_FALSE(json["samples"][1].contains("limitation"));
}

TEST_F(StudioPerformanceReportTest, AbsentPartsWriteNoKeys) {
    environment.appBuild.reset();
    StudioPerformance withoutBuild(sessionID, "receiver", std::nullopt, 1, {}, environment);
    const Json json = Json::parse(*withoutBuild.reportJSON());
    for (const char* key :
         {"requestedLongEdge", "frameTrace", "nativeEventLog", "precedingNativeEventLogs"}) {
        EXPECT_FALSE(json.contains(key)) << key;
    }
    EXPECT_EQ(json["appBuild"], "unavailable");
}

TEST(StudioPerformanceEnvironmentTest, BuildComesFromTheBuildSettings) {
    const StudioPerformance::Environment current = StudioPerformance::Environment::current();
    ASSERT_TRUE(current.appBuild);
    EXPECT_FALSE(current.appBuild->empty());
    EXPECT_TRUE(current.appVersion);
}

TEST_F(StudioPerformanceReportTest, DeferredExportIsACopyAndTakesAFreshTraceSnapshot) {
    StudioPerformance plain = make(1920);
    feed(plain, 1.0);
    const StudioPerformance::ReportExport exported = plain.makeReport();
    feed(plain, 2.0);
    plain.notePreset("quality");
    const JSONText first = exported();
    EXPECT_EQ(first, exported());
    const Json json = Json::parse(*first);
    EXPECT_EQ(json["samples"].size(), 1u);
    EXPECT_EQ(json["configuration"]["preset"], "balanced");

    environment.trace = std::make_shared<StudioPerformanceTrace>(4, 4, 10.0);
    StudioPerformance traced = make(1920);
    const StudioPerformance::ReportExport withTrace = traced.makeReport();
    environment.trace->record(StudioPerformanceTrace::Stage::capture, {.fields{.serial = 9}}, 11.0);
    const auto decoded =
        StudioPerformanceTrace::Snapshot::fromJSON(Json::parse(*withTrace())["frameTrace"]);
    ASSERT_TRUE(decoded);
    // The report's own export event, then the event recorded after the report was made.
    ASSERT_EQ(decoded->recentEvents.size(), 2u);
    EXPECT_EQ(decoded->recentEvents[0].stage, StudioPerformanceTrace::Stage::reportExport);
    EXPECT_EQ(decoded->recentEvents[1].serial, 9u);
}

TEST_F(StudioPerformanceReportTest, ExportSaysWhichNumberJSONCannotHold) {
    StudioPerformance::Report report;
    report.samples.push_back({1.0, {{"fps", 60.0}}, std::nullopt});
    report.samples.push_back({2.0, {{"fps", std::numeric_limits<double>::quiet_NaN()}}, "cpu"});
    const JSONText text = StudioPerformance::exportJSON(report, nullptr);
    EXPECT_FALSE(text);
    EXPECT_EQ(text.error, "the number nan at /samples/1/values/fps cannot be written as JSON");

    report.samples.pop_back();
    const StudioRTCEventLogSnapshot log{"rtc-event-log", "stopped", true, 1 << 20, 12, 1.0, 2.0,
                                        Bytes{1, 2, 3}};
    report.precedingNativeEventLogs = std::vector{log};
    const Json json = Json::parse(*StudioPerformance::exportJSON(report, nullptr));
    EXPECT_EQ(StudioRTCEventLogSnapshot::fromJSON(json["precedingNativeEventLogs"][0]), log);
}

}  // namespace
}  // namespace quillory
