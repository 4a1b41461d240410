#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "media/studio_adaptation_assessment.h"
#include "media/studio_adaptation_observation.h"
#include "media/studio_assessment_log.h"
#include "media/studio_funding_history.h"
#include "media/studio_operating_point.h"
#include "media/studio_recovery_evidence.h"
#include "media/studio_recovery_run.h"
#include "media/studio_stream_configuration.h"
#include "protocol/studio_preset.h"

namespace quillory {

// Chooses the operating point the Studio sender should produce. It walks a fixed candidate list:
// down under encoder or network pressure, up only when a higher point has been funded for a while,
// the encoder has confirmed the current point and the recovery evidence stayed good. Every
// decision on an accepted observation or deadline is recorded as an assessment.
//
// A value owned by the peer and used on its control queue only. Times are system uptime in
// seconds. A returned point means the target changed and must be handed on.
class StudioOperatingPointPolicy {
  public:
    // The ladder keeps sizes down to this long edge, with one low frame rate below the smallest.
    static constexpr int minimumLongEdge = 1280;
    static constexpr int emergencyFramesPerSecond = 15;
    // Healthy seconds a promotion needs, and the least time between two target changes.
    static constexpr double recoverySeconds = 3.0;
    static constexpr double recoveryStepSeconds = 1.0;

    StudioOperatingPointPolicy(StudioPreset preset, int width, int height, double now);

    std::optional<StudioOperatingPoint> reconfigure(const StudioStreamConfiguration& configuration,
                                                    double now);
    void markApplied(const StudioOperatingPoint& point, double now);
    // The connection went down: observations and deadlines are ignored until resume().
    void reset();
    // The connection came back.
    void resume(double now);
    std::optional<StudioOperatingPoint> observe(const StudioAdaptationObservation& observation,
                                                double now);
    std::optional<StudioOperatingPoint> deadlineReached(double now);

    const StudioOperatingPoint& target() const { return target_; }
    const std::optional<double>& nextDeadline() const { return nextDeadline_; }
    const std::optional<StudioAdaptationAssessment>& assessment() const { return log_.latest(); }
    // How many assessments have been recorded, so that a repeated record can be told from none.
    std::uint64_t assessmentCount() const { return log_.count(); }
    // The reason given for the latest change of target; later assessments that keep the target
    // do not replace it.
    const std::string& changeReason() const { return log_.changeReason(); }
    const StudioStreamConfiguration& configuration() const { return configuration_; }
    const std::vector<StudioOperatingPoint>& candidates() const { return funding_.candidates(); }
    std::int64_t bitrate() const { return funding_.bitrate(); }
    bool confirmed() const { return confirmed_; }
    bool suspended() const { return suspended_; }
    bool starting() const { return starting_; }
    const StudioRecoveryEvidence& evidence() const { return run_.evidence; }

    // The ordered candidate list for a viewport and preset; never empty.
    static std::vector<StudioOperatingPoint> makeCandidates(int width, int height,
                                                            StudioPreset preset);
    // The last candidate whose funding bitrate fits in `bitrate`, else the first.
    static StudioOperatingPoint selectInitial(const std::vector<StudioOperatingPoint>& candidates,
                                              std::int64_t bitrate);

  private:
    // What one observation or deadline found, carried through the decision.
    struct Step {
        const StudioAdaptationObservation& observation;
        StudioOperatingPoint previous;
        double now = 0.0;
        bool awaiting = false;
        bool fresh = false;
        bool postApply = false;
        bool underfunded = false;
        bool keyframes = false;
        bool encoderPressure = false;
        bool pressure = false;
        StudioRecoveryEvidence::Condition condition =
            StudioRecoveryEvidence::Condition::insufficient;
    };

    // The steps of one observation after its allocation was accepted. Confirmation settles
    // whether the encoder produces the target (false while awaiting it); classification grades
    // the interval and the pressure on the step.
    bool confirmFormat(const StudioEncoderFeedback& feedback, double now);
    void classify(Step& step);
    std::optional<StudioOperatingPoint> relievePressure(const Step& step);
    std::optional<StudioOperatingPoint> evaluate(const Step& step);
    std::optional<StudioOperatingPoint> recover(const Step& step);
    std::optional<StudioOperatingPoint> promoteAndRecord(const Step& step);
    // Records the decision and passes its result on.
    std::optional<StudioOperatingPoint> decide(
        const Step& step, std::string_view reason,
        std::optional<StudioOperatingPoint> result = std::nullopt);
    std::optional<StudioOperatingPoint> applyTarget(const StudioOperatingPoint& point,
                                                    bool preserveCredit, double now);
    std::optional<std::size_t> higherFundedCandidate() const;
    std::optional<double> recoveryDeadline() const;
    std::optional<StudioOperatingPoint> promote(double now);
    void record(const StudioAdaptationObservation& observation,
                const StudioOperatingPoint& previous, std::string_view reason, double now);

    StudioOperatingPoint target_;
    std::optional<double> nextDeadline_;
    StudioAssessmentLog log_;
    StudioStreamConfiguration configuration_;
    StudioFundingHistory funding_;
    double lastChange_;
    std::optional<double> appliedAt_;
    bool confirmed_ = false;
    std::optional<double> pressureSince_;
    bool suspended_ = false;
    bool starting_ = true;
    StudioRecoveryRun run_;
};

// The candidate order: true when `a` sorts before `b` for the preset.
bool candidatePrecedes(const StudioOperatingPoint& a, const StudioOperatingPoint& b,
                       StudioPreset preset);

}  // namespace quillory
