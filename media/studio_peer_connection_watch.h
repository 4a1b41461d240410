#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/timer.h"

namespace quillory {

// A Studio peer's two clocks on its connection: the time it has to connect at all, and the grace
// a dropped connection has to come back; and whether it has ever connected. Main thread; the
// timers hold this object weakly, and a grace period that connected() ended never expires, even
// when its timer already fired.
class StudioPeerConnectionWatch final
    : public std::enable_shared_from_this<StudioPeerConnectionWatch> {
  public:
    static constexpr double connectTimeoutSeconds = 20.0;
    static constexpr double disconnectGraceSeconds = 3.0;

    explicit StudioPeerConnectionWatch(std::shared_ptr<Executor> main);

    void startConnectTimeout(std::function<void()> expired);
    void startGrace(std::function<void()> expired);
    bool inGrace() const { return grace_.has_value(); }
    // Stops both clocks; from now on the connection has been connected once.
    void connected();
    bool connectedOnce() const { return connectedOnce_; }
    // Stops both clocks.
    void stop();

  private:
    const std::shared_ptr<Executor> main_;
    Timer connectTimeout_;
    std::optional<Timer> grace_;
    std::optional<std::uint64_t> graceGeneration_;
    std::uint64_t lastGeneration_ = 0;
    bool connectedOnce_ = false;
};

}  // namespace quillory
