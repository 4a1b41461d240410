#include "platform/webrtc/transport_feedback_loss.h"

#include "platform/webrtc/transport_feedback.h"

namespace quillory {

void TransportFeedbackLoss::add(const TransportFeedback& feedback) {
    const std::uint16_t base = feedback.baseSequence;
    const std::size_t count = feedback.arrived.size();
    const std::vector<bool>& arrived = feedback.arrived;
    std::int64_t first = base;
    if (highest_) {
        const auto offset = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(base - static_cast<std::uint16_t>(*highest_)));
        first = *highest_ + offset;
    }
    const std::int64_t last = first + static_cast<std::int64_t>(count) - 1;
    if (highest_ && last - *highest_ > largestAdvance) {
        highest_.reset();
    }
    const std::int64_t from = highest_ ? *highest_ + 1 : first;
    if (last < from) {
        return;
    }
    covered_ += last - from + 1;
    for (std::size_t index = 0; index < arrived.size(); ++index) {
        if (first + static_cast<std::int64_t>(index) >= from && arrived[index]) {
            received_ += 1;
        }
    }
    highest_ = last;
}

std::optional<double> TransportFeedbackLoss::takeLossPercent() {
    if (covered_ == 0) {
        return std::nullopt;
    }
    const double percent =
        100.0 * static_cast<double>(covered_ - received_) / static_cast<double>(covered_);
    covered_ = 0;
    received_ = 0;
    return percent;
}

}  // namespace quillory
