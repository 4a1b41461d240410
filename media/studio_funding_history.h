#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "media/studio_encoder_feedback.h"
#include "media/studio_operating_point.h"

namespace quillory {

// The allocation the operating-point policy walks its candidates with: the ladder itself, the
// latest accepted bitrate and when it came, and since when each candidate has been funded without
// a break. A value used on the policy's queue only; times are uptime seconds.
class StudioFundingHistory {
  public:
    StudioFundingHistory(std::vector<StudioOperatingPoint> candidates, std::int64_t bitrate,
                         double now);

    // New candidates start without a funding history.
    void rebuild(std::vector<StudioOperatingPoint> candidates);
    void forget();
    // Takes the feedback's allocation and renews the history; false, changing nothing, for late or
    // out-of-order feedback.
    bool accept(const StudioEncoderFeedback& feedback, double now);
    // The connection came back: allocations count from now.
    void resume(double now) { allocationAt_ = now; }

    bool funded(const StudioOperatingPoint& point) const;
    std::optional<std::size_t> indexOf(const StudioOperatingPoint& point) const;
    // The highest funded candidate above `index`.
    std::optional<std::size_t> highestFundedAbove(std::size_t index) const;
    // The earliest time since which some candidate above `index` has been funded.
    std::optional<double> earliestFundedAbove(std::size_t index) const;
    // Candidate `index` has been funded for the whole history the policy asks of a promotion.
    bool fundedLongEnough(std::size_t index, double now) const;

    const std::vector<StudioOperatingPoint>& candidates() const { return candidates_; }
    std::int64_t bitrate() const { return bitrate_; }
    double allocationAt() const { return allocationAt_; }

    // Seconds a candidate must stay funded before it may be promoted to.
    static constexpr double historySeconds = 3.0;

  private:
    std::vector<StudioOperatingPoint> candidates_;
    std::int64_t bitrate_;
    double allocationAt_;
    // Per candidate index: the uptime since which it has been funded without a break.
    std::vector<std::optional<double>> fundedSince_;
};

}  // namespace quillory
