#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "media/studio_adaptation_observation.h"
#include "media/studio_encoder_feedback.h"
#include "media/studio_media_interval.h"
#include "protocol/raw_value.h"
#include "protocol/uuid.h"

namespace quillory {

// A short window of recent measured intervals of one encoder epoch, graded as evidence that the
// stream has room to grow (or is under pressure).
class StudioRecoveryEvidence {
  public:
    enum class Condition { improving, neutral, pressured, insufficient, idle };

    // Adds one observation and returns the new grade. An observation without an interval changes
    // nothing and grades as insufficient.
    Condition add(const StudioAdaptationObservation& observation);

    const std::optional<Uuid>& epoch() const { return epoch_; }
    std::size_t sampleCount() const { return samples_.size(); }
    // Frame-weighted mean QP of the window after the latest measured addition.
    const std::optional<double>& meanQP() const { return meanQP_; }
    Condition condition() const { return condition_; }

  private:
    struct Sample {
        double end = 0.0;
        StudioMediaInterval interval;
        int submitted = 0;
        int dropped = 0;
    };

    Condition grade(const StudioMediaInterval& newest);

    std::optional<Uuid> epoch_;
    std::vector<Sample> samples_;
    std::optional<double> meanQP_;
    Condition condition_ = Condition::insufficient;
};

template <>
struct RawValues<StudioRecoveryEvidence::Condition> {
    static constexpr std::array<std::string_view, 5> names{"improving", "neutral", "pressured",
                                                           "insufficient", "idle"};
};

}  // namespace quillory
