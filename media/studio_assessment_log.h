#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "media/studio_adaptation_assessment.h"

namespace quillory {

// The operating-point policy's record of its decisions: the latest assessment, how many there have
// been, so that a repeated record can be told from none, and the reason given for the latest change
// of target, which later assessments that keep the target do not replace.
class StudioAssessmentLog {
  public:
    void add(StudioAdaptationAssessment assessment) {
        latest_ = std::move(assessment);
        ++count_;
    }
    void targetChanged(std::string_view reason) { changeReason_ = std::string(reason); }

    const std::optional<StudioAdaptationAssessment>& latest() const { return latest_; }
    std::uint64_t count() const { return count_; }
    const std::string& changeReason() const { return changeReason_; }

  private:
    std::optional<StudioAdaptationAssessment> latest_;
    std::uint64_t count_ = 0;
    std::string changeReason_;
};

}  // namespace quillory
