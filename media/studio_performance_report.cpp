#include <nlohmann/json.hpp>

#include "media/studio_json_text.h"
#include "media/studio_performance.h"

namespace quillory {

using Json = nlohmann::json;

Json StudioPerformance::Sample::toJSON() const {
    return studio_json::encodeFields(*this);
}

std::optional<StudioPerformance::Sample> StudioPerformance::Sample::fromJSON(const Json& json) {
    return studio_json::decodeFields<Sample>(json);
}

Json StudioPerformance::Report::toJSON() const {
    return studio_json::encodeFields(*this);
}

StudioPerformance::Environment StudioPerformance::Environment::current() {
    return Environment{std::make_shared<SystemClock>(),
                       currentThermalState,
                       operatingSystemVersion,
                       QUILLORY_VERSION,
                       QUILLORY_BUILD,
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

JSONText StudioPerformance::exportJSON(Report report, const StudioPerformanceTrace* trace) {
    report.frameTrace.reset();
    if (trace != nullptr) {
        report.frameTrace = trace->snapshot();
    }
    return prettyJSONText(report.toJSON());
}

JSONText StudioPerformance::reportJSON() {
    return makeReport()();
}

}  // namespace quillory
