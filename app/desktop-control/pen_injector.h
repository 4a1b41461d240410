#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/clock/clock.h"
#include "platform/input/input_event_sink.h"
#include "protocol/pen_sample.h"

namespace quillory {

// Turns accepted samples, one at a time, into the events of a pressure-sensitive pen: proximity
// enter and leave around tip down, pointer moves carrying pressure and tilt, and tip up.
// Confined to the input queue.
class PenInjector {
  public:
    PenInjector(std::shared_ptr<InputEventSink> sink, std::shared_ptr<const Clock> clock);

    void post(const PenSample& sample, std::uint64_t timestamp, bool drag, std::uint64_t modifiers,
              Rect bounds);
    void postProximity(bool entering, std::optional<std::uint64_t> timestamp);
    void postPointer(InputEventType type, const PenSample* sample,
                     std::optional<std::uint64_t> timestamp, double pressure);

    bool isDown() const { return down_; }
    void markUp() { down_ = false; }
    bool inProximity() const { return inProximity_; }
    Point position() const { return position_; }

  private:
    std::uint64_t nextTimestamp(std::optional<std::uint64_t> timestamp);
    void endStroke(std::uint64_t timestamp);

    std::shared_ptr<InputEventSink> sink_;
    std::shared_ptr<const Clock> clock_;
    bool down_ = false;
    Point position_;
    bool inProximity_ = false;
    std::uint64_t lastTimestamp_ = 0;
    std::uint64_t modifiers_ = 0;
};

}  // namespace quillory
