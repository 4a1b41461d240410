#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/timer.h"

namespace quillory {

// A Studio peer's two clocks on its connection: the time it has to connect at all, and the grace
// a dropped connection has to come back. Main thread; the timers hold this object weakly, and a
// grace period that connected() ended never expires, even when its timer already fired.
class StudioPeerConnectionWatch final
    : public std::enable_shared_from_this<StudioPeerConnectionWatch> {
  public:
    explicit StudioPeerConnectionWatch(std::shared_ptr<Executor> main);

    void startConnectTimeout(double seconds, std::function<void()> expired);
    void startGrace(double seconds, std::function<void()> expired);
    bool inGrace() const { return grace_.has_value(); }
    // Stops both clocks.
    void connected();
    void stop() { connected(); }

  private:
    const std::shared_ptr<Executor> main_;
    Timer connectTimeout_;
    std::optional<Timer> grace_;
    std::optional<std::uint64_t> graceGeneration_;
    std::uint64_t lastGeneration_ = 0;
};

}  // namespace quillory
