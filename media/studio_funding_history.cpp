#include "media/studio_funding_history.h"

#include <algorithm>

#include "media/studio_bitrate_model.h"

namespace quillory {

namespace {

constexpr double feedbackAgeSeconds = 2.0;
constexpr double allocationGapSeconds = 2.0;

}  // namespace

StudioFundingHistory::StudioFundingHistory(std::vector<StudioOperatingPoint> candidates,
                                           std::int64_t bitrate, double now)
    : candidates_(std::move(candidates)),
      bitrate_(bitrate),
      allocationAt_(now),
      fundedSince_(candidates_.size()) {}

void StudioFundingHistory::rebuild(std::vector<StudioOperatingPoint> candidates) {
    candidates_ = std::move(candidates);
    forget();
}

void StudioFundingHistory::forget() {
    fundedSince_.assign(candidates_.size(), std::nullopt);
}

bool StudioFundingHistory::accept(const StudioEncoderFeedback& f, double now) {
    // Late or out-of-order feedback is dropped without a record.
    if (!(f.observedAt <= now && now - f.observedAt <= feedbackAgeSeconds &&
          f.observedAt >= allocationAt_)) {
        return false;
    }
    if (f.observedAt - allocationAt_ > allocationGapSeconds) {
        forget();
    }
    allocationAt_ = f.observedAt;
    bitrate_ = std::max<std::int64_t>(0, f.bitrate);
    for (std::size_t k = 0; k < candidates_.size(); ++k) {
        if (!funded(candidates_[k])) {
            fundedSince_[k].reset();
        } else if (!fundedSince_[k]) {
            fundedSince_[k] = now;
        }
    }
    return true;
}

bool StudioFundingHistory::funded(const StudioOperatingPoint& point) const {
    return fundingBitrate(point) <= static_cast<double>(bitrate_);
}

std::optional<std::size_t> StudioFundingHistory::indexOf(const StudioOperatingPoint& point) const {
    const auto found = std::find(candidates_.begin(), candidates_.end(), point);
    if (found == candidates_.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - candidates_.begin());
}

std::optional<std::size_t> StudioFundingHistory::highestFundedAbove(std::size_t index) const {
    for (std::size_t k = candidates_.size(); k-- > index + 1;) {
        if (funded(candidates_[k])) {
            return k;
        }
    }
    return std::nullopt;
}

std::optional<double> StudioFundingHistory::earliestFundedAbove(std::size_t index) const {
    std::optional<double> earliest;
    for (std::size_t k = index + 1; k < fundedSince_.size(); ++k) {
        if (fundedSince_[k] && (!earliest || *fundedSince_[k] < *earliest)) {
            earliest = fundedSince_[k];
        }
    }
    return earliest;
}

bool StudioFundingHistory::fundedLongEnough(std::size_t index, double now) const {
    return fundedSince_[index] && *fundedSince_[index] + historySeconds <= now;
}

}  // namespace quillory
