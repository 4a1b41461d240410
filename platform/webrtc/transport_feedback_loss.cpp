#include "platform/webrtc/transport_feedback_loss.h"

#include "platform/webrtc/transport_feedback.h"

namespace quillory {

void TransportFeedbackLoss::add(const TransportFeedback& feedback) {
    const std::int64_t first =
        highest_ ? unwrapSequence(feedback.baseSequence, *highest_) : feedback.baseSequence;
    const std::int64_t last = first + static_cast<std::int64_t>(feedback.packetCount) - 1;
    if (highest_ && last - *highest_ > largestAdvance) {
        highest_.reset();
    }
    const std::int64_t from = highest_ ? *highest_ + 1 : first;
    if (last < from) {
        return;
    }
    covered_ += last - from + 1;
    for (const TransportFeedback::Packet& packet : feedback.received) {
        const auto index = static_cast<std::uint16_t>(packet.sequence - feedback.baseSequence);
        if (first + index >= from) {
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
