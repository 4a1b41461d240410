#pragma once

#include <optional>
#include <string_view>

#include "media/studio_encoder_feedback.h"
#include "media/studio_media_interval.h"
#include "protocol/raw_value.h"

namespace quillory {

// One encoder feedback window paired with the latest statistics interval, graded at construction
// by whether the pair may serve as evidence for adaptation.
class StudioAdaptationObservation {
  public:
    enum class Validity { measured, idle, transition, stale, unavailable };

    StudioAdaptationObservation(const StudioEncoderFeedback& encoder,
                                const std::optional<StudioMediaInterval>& interval);

    const StudioEncoderFeedback& encoder() const { return encoder_; }
    Validity validity() const { return validity_; }
    const std::optional<StudioMediaInterval>& interval() const { return interval_; }

  private:
    StudioEncoderFeedback encoder_;
    Validity validity_;
    std::optional<StudioMediaInterval> interval_;
};

template <>
struct RawValues<StudioAdaptationObservation::Validity> {
    static constexpr std::array<std::string_view, 5> names{"measured", "idle", "transition",
                                                           "stale", "unavailable"};
};

}  // namespace quillory
