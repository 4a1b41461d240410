#include "media/studio_peer_statistics.h"

#include <utility>

#include "platform/dispatch/sequence_checker.h"

namespace quillory {

StudioPeerStatistics::StudioPeerStatistics(std::shared_ptr<Executor> main,
                                           std::shared_ptr<Executor> statisticsQueue,
                                           std::shared_ptr<Clock> clock, Timing timing)
    : main_(std::move(main)),
      statisticsQueue_(std::move(statisticsQueue)),
      clock_(std::move(clock)),
      timing_(timing) {}

void StudioPeerStatistics::begin(std::weak_ptr<PeerTransport> transport, Delivery delivery) {
    QUILLORY_CHECK_ON(*main_);
    if (stopped_ || timer_) {
        return;
    }
    transport_ = std::move(transport);
    delivery_ = std::move(delivery);
    schedule();
}

void StudioPeerStatistics::stop() {
    QUILLORY_CHECK_ON(*main_);
    stopped_ = true;
    timer_.reset();
    watchdog_.cancel();
    delivery_ = nullptr;
}

// The main queue has no repeating timer: each tick arms the next.
void StudioPeerStatistics::schedule() {
    QUILLORY_CHECK_ON(*main_);
    timer_ = main_->after(timing_.intervalSeconds, [weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->tick();
        }
    });
}

void StudioPeerStatistics::tick() {
    QUILLORY_CHECK_ON(*main_);
    if (stopped_) {
        return;
    }
    schedule();
    if (pending_ || transport_.expired()) {
        return;
    }
    pending_ = true;
    const std::uint64_t request = ++request_;
    // A request whose answer never comes would otherwise stop the statistics for good.
    watchdog_ = main_->after(timing_.watchdogSeconds, [weak = weak_from_this(), request] {
        auto self = weak.lock();
        if (self && !self->stopped_ && self->pending_ && self->request_ == request) {
            self->pending_ = false;
        }
    });
    // The queue is held plainly: it runs the work, so it outlives it, and a strong hold could
    // end the queue on its own thread.
    statisticsQueue_->post([transport = transport_, weak = weak_from_this(), main = main_,
                            clock = clock_, queue = statisticsQueue_.get(), request] {
        QUILLORY_CHECK_ON(*queue);
        auto connection = transport.lock();
        if (!connection) {
            return;
        }
        connection->requestStatistics(
            [weak, main, clock, request](std::optional<StudioStatisticsReport> report) {
                const double receivedAt = clock->nowSeconds();
                main->post([weak, request, report = std::move(report), receivedAt]() mutable {
                    if (auto self = weak.lock()) {
                        self->arrived(request, std::move(report), receivedAt);
                    }
                });
            });
    });
}

void StudioPeerStatistics::arrived(std::uint64_t request,
                                   std::optional<StudioStatisticsReport> report,
                                   double receivedAt) {
    QUILLORY_CHECK_ON(*main_);
    if (stopped_ || !pending_ || request_ != request) {
        return;
    }
    pending_ = false;
    watchdog_.cancel();
    if (report && delivery_) {
        // A copy: the delivery may stop the statistics and so drop itself.
        Delivery delivery = delivery_;
        delivery(*report, receivedAt);
    }
}

void StudioPeerStatistics::requestOnce(
    std::weak_ptr<PeerTransport> transport,
    std::function<void(const StudioStatisticsReport&)> completion) {
    QUILLORY_CHECK_ON(*main_);
    if (stopped_) {
        return;
    }
    statisticsQueue_->post([transport = std::move(transport), weak = weak_from_this(), main = main_,
                            queue = statisticsQueue_.get(), completion = std::move(completion)] {
        QUILLORY_CHECK_ON(*queue);
        auto connection = transport.lock();
        if (!connection) {
            return;
        }
        connection->requestStatistics(
            [weak, main, completion](std::optional<StudioStatisticsReport> report) {
                if (!report) {
                    return;
                }
                main->post([weak, completion, report = std::move(*report)] {
                    auto self = weak.lock();
                    if (self && !self->stopped_ && completion) {
                        completion(report);
                    }
                });
            });
    });
}

}  // namespace quillory
