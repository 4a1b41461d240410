#include "media/studio_performance_trace.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <utility>

#include "media/studio_json_text.h"

namespace quillory {

namespace {

using Json = nlohmann::json;
using Stage = StudioPerformanceTrace::Stage;
using Event = StudioPerformanceTrace::Event;
using Snapshot = StudioPerformanceTrace::Snapshot;

// Stages whose events are also kept among the startup events.
constexpr auto startupStages = [] {
    std::array<bool, RawValues<Stage>::names.size()> kept{};
    for (Stage stage : {Stage::encoderDrop,         Stage::encoderCreating,
                        Stage::encoderPrepared,     Stage::encoderAllocation,
                        Stage::bitrateRequest,      Stage::bitrateCeiling,
                        Stage::resolutionDecision,  Stage::resolutionObservation,
                        Stage::peerConnected,       Stage::peerDisconnected,
                        Stage::peerClosed,          Stage::presetApplied,
                        Stage::reportExport,        Stage::controlConnectionEnded,
                        Stage::nativeLogStarted,    Stage::nativeLogStopped,
                        Stage::canvasCovered,       Stage::menuPresentation,
                        Stage::presenterAttachment, Stage::presenterGeometry}) {
        kept[static_cast<std::size_t>(stage)] = true;
    }
    return kept;
}();

// Visits every field of an event with its key, in declaration order, for both directions.
template <typename Record, typename Visitor>
void visitFields(Record& e, Visitor&& visit) {
    visit("submissionID", e.submissionID);
    visit("targetElapsedSeconds", e.targetElapsedSeconds);
    visit("stage", e.stage);
    visit("elapsedSeconds", e.elapsedSeconds);
    visit("rtpTimestamp", e.rtpTimestamp);
    visit("captureTimestampNs", e.captureTimestampNs);
    visit("serial", e.serial);
    visit("epoch", e.epoch);
    visit("width", e.width);
    visit("height", e.height);
    visit("value", e.value);
    visit("keyframe", e.keyframe);
    visit("accepted", e.accepted);
    visit("resolution", e.resolution);
}

std::optional<Json> encode(Stage stage) {
    return Json(rawValue(stage));
}
std::optional<Json> encode(const Uuid& uuid) {
    return Json(uuid.text());
}
std::optional<Json> encode(const StudioAdaptationAssessment& a) {
    return a.toJson();
}
std::optional<Json> encode(double number) {
    return std::isfinite(number) ? std::optional<Json>(number) : std::nullopt;
}
template <class T>
std::optional<Json> encode(const T& value) {
    return Json(value);
}

template <class T>
std::optional<T> decode(const Json& json) {
    if constexpr (std::is_same_v<T, Stage>) {
        const auto text = jsonAs<std::string>(json);
        return text ? fromRawValue<Stage>(*text) : std::nullopt;
    } else if constexpr (std::is_same_v<T, Uuid>) {
        const auto text = jsonAs<std::string>(json);
        return text ? Uuid::parse(*text) : std::nullopt;
    } else if constexpr (std::is_same_v<T, StudioAdaptationAssessment>) {
        return StudioAdaptationAssessment::fromJson(json);
    } else {
        return jsonAs<T>(json);
    }
}

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

// Decodes an event list; absent when any element fails.
std::optional<std::vector<Event>> decodeEvents(const Json& json) {
    if (!json.is_array()) {
        return std::nullopt;
    }
    std::vector<Event> events;
    events.reserve(json.size());
    for (const Json& item : json) {
        std::optional<Event> event = Event::fromJson(item);
        if (!event) {
            return std::nullopt;
        }
        events.push_back(std::move(*event));
    }
    return events;
}

std::optional<Json> encodeEvents(const std::vector<Event>& events) {
    Json list = Json::array();
    for (const Event& event : events) {
        std::optional<Json> json = event.toJson();
        if (!json) {
            return std::nullopt;
        }
        list.push_back(std::move(*json));
    }
    return list;
}

}  // namespace

bool StudioPerformanceTrace::isStartupStage(Stage stage) {
    return startupStages[static_cast<std::size_t>(stage)];
}

std::optional<Json> Event::toJson() const {
    Json json = Json::object();
    bool valid = true;
    visitFields(*this, [&](const char* key, const auto& field) {
        using Field = std::decay_t<decltype(field)>;
        std::optional<Json> value;
        if constexpr (IsOptional<Field>::value) {
            if (!field) {
                return;
            }
            value = encode(*field);
        } else {
            value = encode(field);
        }
        valid = valid && value.has_value();
        if (value) {
            json[key] = std::move(*value);
        }
    });
    if (!valid) {
        return std::nullopt;
    }
    return json;
}

std::optional<Event> Event::fromJson(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    Event event;
    bool valid = true;
    visitFields(event, [&](const char* key, auto& field) {
        using Field = std::decay_t<decltype(field)>;
        const auto found = json.find(key);
        if constexpr (IsOptional<Field>::value) {
            // A null stands for an absent value, as an omitted key does.
            if (found == json.end() || found->is_null()) {
                return;
            }
            field = decode<typename Field::value_type>(*found);
            valid = valid && field.has_value();
        } else {
            std::optional<Field> value;
            if (found != json.end()) {
                value = decode<Field>(*found);
            }
            valid = valid && value.has_value();
            if (value) {
                field = std::move(*value);
            }
        }
    });
    if (!valid) {
        return std::nullopt;
    }
    return event;
}

std::optional<Json> Snapshot::toJson() const {
    std::optional<Json> startup = encodeEvents(startupEvents);
    std::optional<Json> recent = encodeEvents(recentEvents);
    if (!startup || !recent) {
        return std::nullopt;
    }
    return Json{{"clock", clock},
                {"capacity", capacity},
                {"overwrittenEvents", overwrittenEvents},
                {"finished", finished},
                {"startupCapacity", startupCapacity},
                {"startupEventsOmitted", startupEventsOmitted},
                {"startupEvents", std::move(*startup)},
                {"recentEvents", std::move(*recent)}};
}

std::optional<Snapshot> Snapshot::fromJson(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    const auto member = [&](const char* key) -> const Json& {
        static const Json missing;
        const auto found = json.find(key);
        return found == json.end() ? missing : *found;
    };
    auto clock = jsonAs<std::string>(member("clock"));
    const auto capacity = jsonAs<int>(member("capacity"));
    const auto overwritten = jsonAs<std::int64_t>(member("overwrittenEvents"));
    const auto finished = jsonAs<bool>(member("finished"));
    const auto startupCapacity = jsonAs<int>(member("startupCapacity"));
    const auto omitted = jsonAs<std::int64_t>(member("startupEventsOmitted"));
    auto startup = decodeEvents(member("startupEvents"));
    auto recent = decodeEvents(member("recentEvents"));
    if (!clock || !capacity || !overwritten || !finished || !startupCapacity || !omitted ||
        !startup || !recent) {
        return std::nullopt;
    }
    return Snapshot{std::move(*clock), *capacity, *overwritten,        *finished,
                    *startupCapacity,  *omitted,  std::move(*startup), std::move(*recent)};
}

StudioPerformanceTrace::StudioPerformanceTrace(int capacity, int startupCapacity, double origin)
    : origin_(origin),
      startupCapacity_(std::clamp(startupCapacity, 0, maximumStartupCapacity)),
      buffer_(static_cast<std::size_t>(std::clamp(capacity, 1, maximumCapacity))) {
    startup_.reserve(static_cast<std::size_t>(startupCapacity_));
}

void StudioPerformanceTrace::record(Stage stage, Details details, double time) {
    const double elapsedSeconds = elapsed(time);
    if (!std::isfinite(elapsedSeconds) || elapsedSeconds < 0.0) {
        return;
    }
    if (details.value && !std::isfinite(*details.value)) {
        return;
    }
    std::optional<double> target;
    if (details.targetTime) {
        // A target that is not finite could never be written out and would fail every report
        // that holds the event; the event itself is still worth keeping.
        target = elapsed(*details.targetTime);
        if (!std::isfinite(*target)) {
            target.reset();
        }
    }
    const EventFields fields{details.submissionID,
                             target,
                             stage,
                             elapsedSeconds,
                             details.rtpTimestamp,
                             details.captureTimestampNs,
                             details.serial,
                             details.epoch,
                             details.width,
                             details.height,
                             details.value,
                             details.keyframe,
                             details.accepted};
    // Everything that copies or allocates happens before the lock, which then covers only the
    // slot write, the counters and the startup list.
    std::optional<Event> startupEvent;
    if (isStartupStage(stage) && elapsedSeconds <= startupSeconds) {
        startupEvent = Event{fields, details.resolution};
    }
    std::unique_ptr<StudioAdaptationAssessment> resolution;
    if (details.resolution) {
        resolution = std::make_unique<StudioAdaptationAssessment>(std::move(*details.resolution));
    }
    {
        const std::lock_guard guard(lock_);
        if (finished_) {
            return;
        }
        if (count_ < buffer_.size()) {
            ++count_;
        } else {
            ++overwritten_;
        }
        Slot& slot = buffer_[next_];
        slot.event = fields;
        // The replaced assessment leaves with `resolution` and is freed after the lock.
        slot.resolution.swap(resolution);
        next_ = (next_ + 1) % buffer_.size();
        if (startupEvent) {
            if (startup_.size() < static_cast<std::size_t>(startupCapacity_)) {
                startup_.push_back(std::move(*startupEvent));
            } else {
                ++startupOmitted_;
            }
        }
    }
}

Snapshot StudioPerformanceTrace::snapshot() const {
    Snapshot result;
    result.startupCapacity = startupCapacity_;
    const std::lock_guard guard(lock_);
    const std::size_t capacity = buffer_.size();
    const std::size_t oldest = count_ < capacity ? 0 : next_;
    result.recentEvents.reserve(count_);
    for (std::size_t i = 0; i < count_; ++i) {
        const Slot& slot = buffer_[(oldest + i) % capacity];
        if (slot.event) {
            result.recentEvents.push_back(Event{
                *slot.event, slot.resolution ? std::optional(*slot.resolution) : std::nullopt});
        }
    }
    result.capacity = static_cast<int>(capacity);
    result.overwrittenEvents = overwritten_;
    result.finished = finished_;
    result.startupEventsOmitted = startupOmitted_;
    result.startupEvents = startup_;
    return result;
}

void StudioPerformanceTrace::finish() {
    const std::lock_guard guard(lock_);
    finished_ = true;
}

}  // namespace quillory
