#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string_view>
#include <vector>

#include "media/studio_adaptation_assessment.h"
#include "protocol/raw_value.h"
#include "protocol/uuid.h"

namespace quillory {

// A bounded, thread-safe recorder of media pipeline events. The latest events live in a ring of
// preallocated slots; lifecycle events of the first 30 s are also kept apart, so that a long
// stream cannot push them out. One trace serves one stream and is shared by every recorder.
class StudioPerformanceTrace {
  public:
    enum class Stage {
        capture,
        encodeSubmitted,
        encodeCompleted,
        encodedOutput,
        encoderDrop,
        rawDiscard,
        decodedArrival,
        renderSubmitted,
        presented,
        renderCompleted,
        presentationCallback,
        presentationRetry,
        presentationExhausted,
        encoderCreating,
        encoderPrepared,
        encoderAllocation,
        bitrateRequest,
        bitrateCeiling,
        resolutionDecision,
        resolutionObservation,
        peerConnected,
        peerDisconnected,
        peerClosed,
        presetApplied,
        reportExport,
        controlConnectionEnded,
        nativeLogStarted,
        nativeLogStopped,
        canvasCovered,
        diagnosticHeartbeat,
        mainQueueWait,
        controlQueueWait,
        statisticsRequested,
        statisticsCallback,
        statisticsDelivered,
        menuPresentation,
        presenterAttachment,
        presenterGeometry,
    };

    static bool isStartupStage(Stage stage);

    // The plain fields of an event; times are seconds since the trace's origin.
    struct EventFields {
        std::optional<std::uint64_t> submissionID;
        std::optional<double> targetElapsedSeconds;
        Stage stage = Stage::capture;
        double elapsedSeconds = 0.0;
        std::optional<std::uint32_t> rtpTimestamp;
        std::optional<std::int64_t> captureTimestampNs;
        std::optional<std::uint64_t> serial;
        std::optional<Uuid> epoch;
        std::optional<int> width;
        std::optional<int> height;
        std::optional<double> value;
        std::optional<bool> keyframe;
        std::optional<bool> accepted;

        bool operator==(const EventFields&) const = default;

        template <class Self, class Visit>
        static void fields(Self& self, Visit&& visit) {
            visit("submissionID", self.submissionID);
            visit("targetElapsedSeconds", self.targetElapsedSeconds);
            visit("stage", self.stage);
            visit("elapsedSeconds", self.elapsedSeconds);
            visit("rtpTimestamp", self.rtpTimestamp);
            visit("captureTimestampNs", self.captureTimestampNs);
            visit("serial", self.serial);
            visit("epoch", self.epoch);
            visit("width", self.width);
            visit("height", self.height);
            visit("value", self.value);
            visit("keyframe", self.keyframe);
            visit("accepted", self.accepted);
        }
    };

    struct Event : EventFields {
        std::optional<StudioAdaptationAssessment> resolution;

        bool operator==(const Event&) const = default;

        template <class Self, class Visit>
        static void fields(Self& self, Visit&& visit) {
            EventFields::fields(self, visit);
            visit("resolution", self.resolution);
        }

        nlohmann::json toJSON() const;
        // Absent when a required key is missing, a value has the wrong type or the stage is
        // unknown.
        static std::optional<Event> fromJSON(const nlohmann::json& json);
    };

    struct Snapshot {
        static constexpr std::string_view clockDescription =
            "local-system-uptime-relative-seconds; peer clocks are independent";

        std::string clock{clockDescription};
        int capacity = 0;
        std::int64_t overwrittenEvents = 0;
        bool finished = false;
        int startupCapacity = 0;
        std::int64_t startupEventsOmitted = 0;
        std::vector<Event> startupEvents;
        // Oldest first.
        std::vector<Event> recentEvents;

        bool operator==(const Snapshot&) const = default;

        template <class Self, class Visit>
        static void fields(Self& self, Visit&& visit) {
            visit("clock", self.clock);
            visit("capacity", self.capacity);
            visit("overwrittenEvents", self.overwrittenEvents);
            visit("finished", self.finished);
            visit("startupCapacity", self.startupCapacity);
            visit("startupEventsOmitted", self.startupEventsOmitted);
            visit("startupEvents", self.startupEvents);
            visit("recentEvents", self.recentEvents);
        }

        nlohmann::json toJSON() const;
        static std::optional<Snapshot> fromJSON(const nlohmann::json& json);
    };

    // What a recorder may attach to an event. record() sets the stage and both elapsed times of
    // `fields`; the target is given as system uptime in seconds.
    struct Details {
        EventFields fields;
        std::optional<StudioAdaptationAssessment> resolution;
        std::optional<double> targetTime;
    };

    static constexpr int maximumCapacity = 8192;
    static constexpr int maximumStartupCapacity = 256;
    static constexpr double startupSeconds = 30.0;

    // `origin` is the system uptime that becomes elapsed time 0.
    StudioPerformanceTrace(int capacity, int startupCapacity, double origin);

    // Drops the event when its time lies before the origin or is not finite, or its value is not
    // finite; a target time that is not finite is left off the event.
    void record(Stage stage, Details details, double time);
    Snapshot snapshot() const;
    // Stops recording for good; snapshots keep working.
    void finish();
    double elapsed(double time) const { return time - origin_; }

    double origin() const { return origin_; }

  private:
    // A ring slot. The rare assessment lives out of line, so that writing a slot under the lock
    // copies a few cache lines and frees nothing.
    struct Slot {
        std::optional<EventFields> event;
        std::unique_ptr<StudioAdaptationAssessment> resolution;
    };

    const double origin_;
    const int startupCapacity_;

    mutable std::mutex lock_;
    std::vector<Slot> buffer_;
    std::size_t next_ = 0;
    std::size_t count_ = 0;
    std::int64_t overwritten_ = 0;
    bool finished_ = false;
    std::vector<Event> startup_;
    std::int64_t startupOmitted_ = 0;
};

template <>
struct RawValues<StudioPerformanceTrace::Stage> {
    static constexpr std::array<std::string_view, 38> names{
        "capture",
        "encodeSubmitted",
        "encodeCompleted",
        "encodedOutput",
        "encoderDrop",
        "rawDiscard",
        "decodedArrival",
        "renderSubmitted",
        "presented",
        "renderCompleted",
        "presentationCallback",
        "presentationRetry",
        "presentationExhausted",
        "encoderCreating",
        "encoderPrepared",
        "encoderAllocation",
        "bitrateRequest",
        "bitrateCeiling",
        "resolutionDecision",
        "resolutionObservation",
        "peerConnected",
        "peerDisconnected",
        "peerClosed",
        "presetApplied",
        "reportExport",
        "controlConnectionEnded",
        "nativeLogStarted",
        "nativeLogStopped",
        "canvasCovered",
        "diagnosticHeartbeat",
        "mainQueueWait",
        "controlQueueWait",
        "statisticsRequested",
        "statisticsCallback",
        "statisticsDelivered",
        "menuPresentation",
        "presenterAttachment",
        "presenterGeometry",
    };
};

}  // namespace quillory
