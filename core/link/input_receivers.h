#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/dispatch/serial_queue.h"
#include "protocol/desktop_action.h"
#include "protocol/pen_sample.h"

namespace quillory {

// Where the peer's input goes on the transport queue. Until a samples receiver is installed, the
// input is held in order, up to maxHeldSamples samples and maxHeldInputs entries, and handed over
// once it is: the host may make the receivers live only once it has set up input for the
// connection, without losing a stroke the peer began the moment the link was ready.
class InputReceivers {
  public:
    static constexpr std::size_t maxHeldSamples = 512;
    static constexpr std::size_t maxHeldInputs = 64;

    explicit InputReceivers(const SerialQueue& queue) : queue_(queue) {}

    void install(std::function<void(const std::vector<PenSample>&)> samples,
                 std::function<void(const DesktopAction&)> action, std::function<void()> cancelled,
                 std::function<void()> ended);
    void deliverSamples(std::vector<PenSample> samples);
    void deliverAction(const DesktopAction& action);
    void deliverCancelled();
    // Input that reached no receiver.
    void discard(std::size_t samples) { discarded_ += samples; }
    std::uint64_t discarded() const { return discarded_; }
    // The channel closed: what is held is dropped, and the ended receiver runs once.
    void end();

  private:
    // False when the bounds are reached.
    bool hold(std::vector<PenSample> samples, std::optional<DesktopAction> action);

    const SerialQueue& queue_;
    std::function<void(const std::vector<PenSample>&)> samples_;
    std::function<void(const DesktopAction&)> action_;
    std::function<void()> cancelled_;
    std::function<void()> ended_;
    // No samples and no action is a cancellation.
    struct Held {
        std::vector<PenSample> samples;
        std::optional<DesktopAction> action;
    };
    std::deque<Held> held_;
    std::size_t heldSamples_ = 0;
    std::uint64_t discarded_ = 0;
};

}  // namespace quillory
