#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/raw_value.h"

namespace quillory {

// Follows one presentation attempt of a decoded frame through the GPU and the display until it
// is shown, retried or given up. Times are seconds on the caller's monotonic clock; one owner.
class StudioPresentationLifecycle {
  public:
    enum class Failure { skipped, invalidTimestamp, gpuError, missingCallback };

    struct Attempt {
        std::uint64_t id = 0;
        std::uint64_t serial = 0;
        // 1 for the first attempt at this frame, counting up for each retry.
        int number = 1;
        // Deadline for the display's report.
        double expires = 0.0;
        bool completed = false;
        bool presented = false;
        std::optional<Failure> failure;
        bool retired = false;
    };

    struct Decision {
        enum class Kind { retry, exhausted };
        Kind kind = Kind::retry;
        Failure failure = Failure::skipped;

        static Decision retry(Failure failure) { return {Kind::retry, failure}; }
        static Decision exhausted(Failure failure) { return {Kind::exhausted, failure}; }
        bool operator==(const Decision&) const = default;
    };

    static constexpr int maximumAttempts = 3;

    // Starts following a new attempt and returns its identity. A non-fresh attempt at the frame
    // already being followed counts as a retry.
    std::uint64_t begin(std::uint64_t serial, bool fresh, double now, double frameInterval);
    // The GPU finished the attempt's work.
    void complete(std::uint64_t id, bool gpuError);
    // The display reported the attempt: shown without a failure, or not shown.
    void present(std::uint64_t id, std::optional<Failure> failure);
    // What to do about the frame now, or nothing while it is shown, waiting or given up.
    std::optional<Decision> decision(std::uint64_t serial, double now);
    void reset() { current_.reset(); }

    std::uint64_t sequence() const { return sequence_; }
    const std::optional<Attempt>& current() const { return current_; }

  private:
    std::uint64_t sequence_ = 0;
    std::optional<Attempt> current_;
};

template <>
struct RawValues<StudioPresentationLifecycle::Failure> {
    static constexpr std::array<std::string_view, 4> names{"skipped", "invalidTimestamp",
                                                           "gpuError", "missingCallback"};
};

}  // namespace quillory
