#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/timer.h"
#include "platform/webrtc/peer_transport.h"

namespace quillory {

// A Studio peer's statistics requests: a tick on the main executor every interval, each asking
// the transport from the statistics queue, one request at a time; an answer that never comes is
// given up after the watchdog time, so the ticks go on. Main thread, except the requests.
class StudioPeerStatistics final : public std::enable_shared_from_this<StudioPeerStatistics> {
  public:
    // A tick's report with the uptime it arrived at, on the main thread.
    using Delivery = std::function<void(const StudioStatisticsReport& report, double receivedAt)>;

    struct Timing {
        double intervalSeconds;
        double watchdogSeconds;
    };
    // A tick every second; a request without an answer after five is given up.
    static constexpr Timing standardTiming{.intervalSeconds = 1.0, .watchdogSeconds = 5.0};

    StudioPeerStatistics(std::shared_ptr<Executor> main, std::shared_ptr<Executor> statisticsQueue,
                         std::shared_ptr<Clock> clock, Timing timing);

    // Starts the ticks, unless they run; nothing after stop().
    void begin(std::weak_ptr<PeerTransport> transport, Delivery delivery);
    // One request outside the ticks; the completion runs on the main thread unless stopped.
    void requestOnce(std::weak_ptr<PeerTransport> transport,
                     std::function<void(const StudioStatisticsReport&)> completion);
    void stop();

    bool pending() const { return pending_; }

  private:
    void schedule();
    void tick();
    void arrived(std::uint64_t request, std::optional<StudioStatisticsReport> report,
                 double receivedAt);

    const std::shared_ptr<Executor> main_;
    const std::shared_ptr<Executor> statisticsQueue_;
    const std::shared_ptr<Clock> clock_;
    const Timing timing_;

    std::weak_ptr<PeerTransport> transport_;
    Delivery delivery_;
    std::optional<Timer> timer_;
    Timer watchdog_;
    bool pending_ = false;
    bool stopped_ = false;
    std::uint64_t request_ = 0;
};

}  // namespace quillory
