#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "media/studio_adaptation_observation.h"
#include "media/studio_operating_point.h"
#include "media/studio_operating_point_policy.h"
#include "media/studio_stream_configuration.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/timer.h"

namespace quillory {

// A Studio peer's operating point adaptation: the policy, its deadline and the token of the
// configuration it answers. Calls may come from any thread; the work runs on the control queue,
// holding this object weakly, and nothing else touches the state.
class StudioPeerAdaptation final : public std::enable_shared_from_this<StudioPeerAdaptation> {
  public:
    // On the control queue: a new target for the configuration `configurationToken`, numbered
    // by `formatToken`.
    using HandOff =
        std::function<void(const StudioOperatingPoint& target, std::uint64_t configurationToken,
                           std::uint64_t formatToken)>;

    StudioPeerAdaptation(std::shared_ptr<Executor> controlQueue, std::shared_ptr<Clock> clock,
                         HandOff handOff);

    void configure(std::uint64_t token, const StudioStreamConfiguration& configuration);
    void observe(StudioAdaptationObservation observation);
    // The peer applied `target` for the configuration `configurationToken`.
    void applied(const StudioOperatingPoint& target, std::uint64_t configurationToken);
    void resume();
    void suspend();
    void close();

    // Read on the control queue only.
    const std::optional<StudioOperatingPointPolicy>& policy() const { return policy_; }

  private:
    template <typename Work>
    void post(Work work);
    void scheduleDeadline();
    void deadlineReached(std::uint64_t token);
    void handOff(const StudioOperatingPoint& target, std::uint64_t configurationToken);
    double now() const { return clock_->nowSeconds(); }

    const std::shared_ptr<Executor> controlQueue_;
    const std::shared_ptr<Clock> clock_;
    const HandOff handOff_;

    std::uint64_t token_ = 0;
    bool closed_ = false;
    std::optional<StudioOperatingPointPolicy> policy_;
    Timer deadline_;
    std::uint64_t lastFormatToken_ = 0;
};

}  // namespace quillory
