#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "media/studio_json_text.h"
#include "media/studio_performance_trace.h"
#include "media/studio_rtc_event_log_snapshot.h"
#include "platform/webrtc/studio_statistics_report.h"
#include "platform/clock/clock.h"
#include "platform/process/process_info.h"
#include "protocol/uuid.h"

namespace quillory {

// Turns the statistics reports of one side of one Studio session into a rolling window of
// measurement samples, a one-line summary for the interface and descriptive session settings,
// and writes them out as the performance report. Measurement names carry their unit as a
// suffix: "MS", "Bps", "Percent", "Seconds".
//
// Holds no lock: every operation and every read of its published values runs on one thread.
class StudioPerformance {
  public:
    struct Sample {
        // Uptime when the sample was taken, since the object was created.
        double elapsedSeconds = 0.0;
        // Finite numbers only; a measurement that could not be formed is absent, never zero.
        std::map<std::string, double> values;
        std::optional<std::string> limitation;

        bool operator==(const Sample&) const = default;

        template <class Self, class Visit>
        static void fields(Self& self, Visit&& visit) {
            visit("elapsedSeconds", self.elapsedSeconds);
            visit("values", self.values);
            visit("limitation", self.limitation);
        }

        nlohmann::json toJSON() const;
        // A missing or null "limitation" gives none; the other two keys are required.
        static std::optional<Sample> fromJSON(const nlohmann::json& json);
    };

    // The document handed over by makeReport(); only its JSON text leaves the object.
    struct Report {
        Uuid sessionID;
        std::string role;
        std::chrono::system_clock::time_point started;
        std::string os;
        std::string appVersion;
        std::string appBuild;
        std::optional<int> requestedLongEdge;
        std::map<std::string, std::string> configuration;
        int capacity = 0;
        std::int64_t samplesDiscarded = 0;
        std::vector<Sample> samples;
        std::optional<StudioPerformanceTrace::Snapshot> frameTrace;
        std::optional<StudioRTCEventLogSnapshot> nativeEventLog;
        std::optional<std::vector<StudioRTCEventLogSnapshot>> precedingNativeEventLogs;

        static constexpr int schema = 4;
        static constexpr int targetFPS = 60;
        static constexpr std::string_view codec = "H264";
        static constexpr std::string_view missingValues =
            "Unavailable; omitted, never assumed zero. Timing values are not additive end-to-end "
            "latency.";
        static constexpr std::string_view diagnosticCoverage =
            "Native RTP/RTCP log timestamps are not kernel or radio timestamps. App queue markers "
            "do not measure WebRTC private threads. Native files rotate with explicit gaps and "
            "may reach their byte limit early. Peer clocks are independent.";

        template <class Self, class Visit>
        static void fields(Self& self, Visit&& visit) {
            visit("schema", self.schema);
            visit("sessionID", self.sessionID);
            visit("role", self.role);
            visit("started", self.started);
            visit("os", self.os);
            visit("appVersion", self.appVersion);
            visit("appBuild", self.appBuild);
            visit("requestedLongEdge", self.requestedLongEdge);
            visit("configuration", self.configuration);
            visit("targetFPS", self.targetFPS);
            visit("codec", self.codec);
            visit("capacity", self.capacity);
            visit("samplesDiscarded", self.samplesDiscarded);
            visit("missingValues", self.missingValues);
            visit("samples", self.samples);
            visit("frameTrace", self.frameTrace);
            visit("nativeEventLog", self.nativeEventLog);
            visit("precedingNativeEventLogs", self.precedingNativeEventLogs);
            visit("diagnosticCoverage", self.diagnosticCoverage);
        }

        nlohmann::json toJSON() const;
    };

    // What the object reads of its process; tests replace parts of it.
    struct Environment {
        std::shared_ptr<const Clock> clock;
        std::function<ThermalState()> thermalState;
        std::function<std::string()> operatingSystem;
        std::optional<std::string> appVersion;
        std::optional<std::string> appBuild;
        // Events of the object's own operations go here when present.
        std::shared_ptr<StudioPerformanceTrace> trace;

        static Environment current();
    };

    // Runs the export of one report; safe on any thread, once or more.
    using ReportExport = std::function<JSONText()>;

    static constexpr std::string_view measuring = "Measuring…";

    StudioPerformance(Uuid sessionID, std::string role, std::optional<int> requestedLongEdge,
                      int capacity, std::map<std::string, std::string> configuration,
                      Environment environment = Environment::current());

    void notePreset(const std::string& preset);
    void noteControlConnectionEnded(const std::string& cause, const std::string& reason,
                                    std::int64_t pendingWrites, std::int64_t discardedInputSamples,
                                    double inboundAgeMS);
    // Reads one report with the caller's own measurements (renderer figures) and appends at most
    // one sample.
    void parseStatistics(const StudioStatisticsReport& report,
                         std::map<std::string, double> values);

    // A copy of the report as it stands now; later changes do not reach it.
    ReportExport makeReport();
    // The pretty-printed JSON with sorted keys, the trace's snapshot embedded when one is given;
    // fails, saying where, when a number is not finite.
    static JSONText exportJSON(Report report, const StudioPerformanceTrace* trace);
    JSONText reportJSON();

    // The name of the local interface that holds the address (zone suffix ignored).
    static std::optional<std::string> interfaceName(std::string_view address);
    // Increase of a counter since the baseline; absent without one, or when it went back.
    static std::optional<double> counterDelta(const std::string& key,
                                              const std::map<std::string, double>& current,
                                              const std::map<std::string, double>* previous);
    // "59.9 fps", or "fps: unavailable".
    static std::string formatMeasure(const std::string& key, std::string_view label,
                                     const std::map<std::string, double>& values);

    // Called after the samples or the summary changed.
    std::function<void()> onPublished;

    const std::vector<Sample>& samples() const { return samples_; }
    const std::string& summary() const { return summary_; }
    int capacity() const { return capacity_; }
    const Uuid& sessionID() const { return sessionID_; }
    const std::string& role() const { return role_; }
    const std::optional<int>& requestedLongEdge() const { return requestedLongEdge_; }
    const std::map<std::string, std::string>& configuration() const { return configuration_; }
    std::chrono::system_clock::time_point started() const { return started_; }
    double startTime() const { return startTime_; }
    const std::shared_ptr<StudioPerformanceTrace>& trace() const { return environment_.trace; }
    std::int64_t discarded() const { return discarded_; }
    const std::optional<std::string>& selectedPair() const { return selectedPair_; }
    std::int64_t routeChanges() const { return routeChanges_; }

  private:
    struct Baseline {
        std::string id;
        double time = 0.0;
        std::map<std::string, double> values;
    };

    // The report's entries by id.
    using EntryIndex = std::unordered_map<std::string_view, const StudioStatistics*>;

    bool isSender() const { return role_ == "sender"; }
    // The counter that tells whether an RTP entry carries the side's frames.
    std::string frameKey() const { return isSender() ? "framesEncoded" : "framesDecoded"; }
    void readRoute(const StudioStatisticsReport& report, const EntryIndex& entries,
                   std::map<std::string, double>& values);
    void appendSample(double time, const std::string& statisticsID,
                      std::map<std::string, double> numbers, std::optional<std::string> limitation,
                      std::map<std::string, double> values);
    void publishSummary(const std::map<std::string, double>& values);
    void recordTrace(StudioPerformanceTrace::Stage stage, std::optional<double> value);

    Environment environment_;
    std::vector<Sample> samples_;
    std::string summary_{measuring};
    int capacity_;
    Uuid sessionID_;
    std::string role_;
    std::optional<int> requestedLongEdge_;
    std::map<std::string, std::string> configuration_;
    std::chrono::system_clock::time_point started_;
    double startTime_;
    std::int64_t discarded_ = 0;
    // The baseline of differences: the one RTP entry used last.
    std::optional<Baseline> previous_;
    std::optional<std::string> selectedPair_;
    std::int64_t routeChanges_ = 0;
};

}  // namespace quillory
