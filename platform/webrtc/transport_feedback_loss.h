#pragma once

#include <cstdint>
#include <optional>

#include "platform/webrtc/transport_feedback.h"

namespace quillory {

// Counts the packets the receiver's transport-wide feedback reports lost. A sequence number the
// feedback moved past without ever reporting it received counts as lost, so packets that fall
// between two feedback messages are not missed. Not thread-safe.
class TransportFeedbackLoss {
  public:
    // A jump larger than this is a restart of the numbering, not loss.
    static constexpr std::int64_t largestAdvance = 0x4000;

    void add(const TransportFeedback& feedback);
    // The share of packets lost, in percent, among those the feedback moved past since the last
    // call; none when it moved past none.
    std::optional<double> takeLossPercent();

  private:
    std::optional<std::int64_t> highest_;
    std::int64_t covered_ = 0;
    std::int64_t received_ = 0;
};

}  // namespace quillory
