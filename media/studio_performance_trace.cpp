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

}  // namespace

bool StudioPerformanceTrace::isStartupStage(Stage stage) {
    return startupStages[static_cast<std::size_t>(stage)];
}

Json Event::toJSON() const {
    return studio_json::encodeFields(*this);
}

std::optional<Event> Event::fromJSON(const Json& json) {
    return studio_json::decodeFields<Event>(json);
}

Json Snapshot::toJSON() const {
    return studio_json::encodeFields(*this);
}

std::optional<Snapshot> Snapshot::fromJSON(const Json& json) {
    return studio_json::decodeFields<Snapshot>(json);
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
    if (details.fields.value && !std::isfinite(*details.fields.value)) {
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
    EventFields& fields = details.fields;
    fields.stage = stage;
    fields.elapsedSeconds = elapsedSeconds;
    fields.targetElapsedSeconds = target;
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
