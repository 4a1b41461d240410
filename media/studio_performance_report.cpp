#include <ctime>
#include <nlohmann/json.hpp>

#include "media/studio_json_text.h"
#include "media/studio_performance.h"

namespace quillory {

namespace {

using Json = nlohmann::json;

// ISO 8601 in UTC with whole seconds: 2026-12-06T18:04:35Z.
std::string iso8601(std::chrono::system_clock::time_point time) {
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(time));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

std::optional<Json> StudioPerformance::Sample::toJson() const {
    Json json{{"elapsedSeconds", elapsedSeconds}, {"values", values}};
    if (limitation) {
        json["limitation"] = *limitation;
    }
    if (!hasOnlyFiniteNumbers(json)) {
        return std::nullopt;
    }
    return json;
}

std::optional<StudioPerformance::Sample> StudioPerformance::Sample::fromJson(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    const auto elapsed = json.find("elapsedSeconds");
    const auto values = json.find("values");
    if (elapsed == json.end() || values == json.end() || !values->is_object()) {
        return std::nullopt;
    }
    Sample sample;
    const std::optional<double> seconds = jsonAs<double>(*elapsed);
    if (!seconds) {
        return std::nullopt;
    }
    sample.elapsedSeconds = *seconds;
    for (const auto& [name, value] : values->items()) {
        const std::optional<double> number = jsonAs<double>(value);
        if (!number) {
            return std::nullopt;
        }
        sample.values.emplace(name, *number);
    }
    if (const auto limitation = json.find("limitation");
        limitation != json.end() && !limitation->is_null()) {
        sample.limitation = jsonAs<std::string>(*limitation);
        if (!sample.limitation) {
            return std::nullopt;
        }
    }
    return sample;
}

std::optional<Json> StudioPerformance::Report::toJson() const {
    Json json{{"schema", schema},
              {"sessionID", sessionID.text()},
              {"role", role},
              {"started", iso8601(started)},
              {"os", os},
              {"appVersion", appVersion},
              {"appBuild", appBuild},
              {"configuration", configuration},
              {"targetFPS", targetFPS},
              {"codec", codec},
              {"capacity", capacity},
              {"samplesDiscarded", samplesDiscarded},
              {"missingValues", missingValues},
              {"samples", Json::array()},
              {"diagnosticCoverage", diagnosticCoverage}};
    if (requestedLongEdge) {
        json["requestedLongEdge"] = *requestedLongEdge;
    }
    for (const Sample& sample : samples) {
        std::optional<Json> item = sample.toJson();
        if (!item) {
            return std::nullopt;
        }
        json["samples"].push_back(std::move(*item));
    }
    if (frameTrace) {
        std::optional<Json> trace = frameTrace->toJson();
        if (!trace) {
            return std::nullopt;
        }
        json["frameTrace"] = std::move(*trace);
    }
    if (nativeEventLog) {
        std::optional<Json> log = nativeEventLog->toJson();
        if (!log) {
            return std::nullopt;
        }
        json["nativeEventLog"] = std::move(*log);
    }
    if (precedingNativeEventLogs) {
        Json logs = Json::array();
        for (const StudioRTCEventLogSnapshot& snapshot : *precedingNativeEventLogs) {
            std::optional<Json> log = snapshot.toJson();
            if (!log) {
                return std::nullopt;
            }
            logs.push_back(std::move(*log));
        }
        json["precedingNativeEventLogs"] = std::move(logs);
    }
    return json;
}

StudioPerformance::Environment StudioPerformance::Environment::current() {
    return Environment{std::make_shared<SystemClock>(),
                       currentThermalState,
                       operatingSystemVersion,
                       QUILLORY_VERSION,
                       std::nullopt,
                       nullptr};
}

StudioPerformance::ReportExport StudioPerformance::makeReport() {
    recordTrace(StudioPerformanceTrace::Stage::reportExport, std::nullopt);
    const auto orUnavailable = [](const std::optional<std::string>& text) {
        return text.value_or("unavailable");
    };
    Report report{sessionID_,
                  role_,
                  started_,
                  environment_.operatingSystem(),
                  orUnavailable(environment_.appVersion),
                  orUnavailable(environment_.appBuild),
                  requestedLongEdge_,
                  configuration_,
                  capacity_,
                  discarded_,
                  samples_};
    return [report = std::move(report), trace = environment_.trace] {
        return exportJSON(report, trace.get());
    };
}

std::optional<std::string> StudioPerformance::exportJSON(Report report,
                                                         const StudioPerformanceTrace* trace) {
    report.frameTrace.reset();
    if (trace != nullptr) {
        report.frameTrace = trace->snapshot();
    }
    const std::optional<Json> json = report.toJson();
    if (!json) {
        return std::nullopt;
    }
    return prettyJsonText(*json);
}

std::optional<std::string> StudioPerformance::reportJSON() {
    return makeReport()();
}

}  // namespace quillory
