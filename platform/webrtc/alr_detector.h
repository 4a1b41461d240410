#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/webrtc/probing_configuration.h"

namespace quillory {

// Tells when the sender is application-limited: sending well under its estimate, as a still or
// quiet screen does, so the estimate is no longer tested by the stream itself. A budget fills at
// the usage share of the estimate and empties by what is sent, up to half a second of the rate
// either way; once more than the start share of it lies unspent the sender is limited, and it
// stays so until it has spent ahead by the stop share. Timing only; not thread-safe.
class AlrDetector {
  public:
    static constexpr std::int64_t windowNanoseconds = 500'000'000;

    explicit AlrDetector(const ApplicationLimitSettings& settings);

    void setEstimate(double bitsPerSecond);
    // Media or a retransmission left at `at`; probes are not the application's.
    void sent(std::size_t bytes, std::int64_t at);
    // Since when the sender has been application-limited; none while it is not.
    std::optional<std::int64_t> limitedSince(std::int64_t now);

  private:
    void advance(std::int64_t now);

    const ApplicationLimitSettings settings_;
    double estimate_ = 0;
    double budgetBits_ = 0;
    std::optional<std::int64_t> lastAt_;
    std::optional<std::int64_t> limitedSince_;
};

}  // namespace quillory
