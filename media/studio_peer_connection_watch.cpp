#include "media/studio_peer_connection_watch.h"

#include <utility>

#include "platform/dispatch/sequence_checker.h"

namespace quillory {

StudioPeerConnectionWatch::StudioPeerConnectionWatch(std::shared_ptr<Executor> main)
    : main_(std::move(main)) {}

void StudioPeerConnectionWatch::startConnectTimeout(std::function<void()> expired) {
    QUILLORY_CHECK_ON(*main_);
    connectTimeout_ = main_->after(connectTimeoutSeconds, std::move(expired));
}

void StudioPeerConnectionWatch::startGrace(std::function<void()> expired) {
    QUILLORY_CHECK_ON(*main_);
    const std::uint64_t generation = ++lastGeneration_;
    graceGeneration_ = generation;
    grace_ = main_->after(disconnectGraceSeconds,
                          [weak = weak_from_this(), generation, expired = std::move(expired)] {
                              auto self = weak.lock();
                              if (self && self->graceGeneration_ == generation) {
                                  expired();
                              }
                          });
}

void StudioPeerConnectionWatch::connected() {
    QUILLORY_CHECK_ON(*main_);
    connectedOnce_ = true;
    stop();
}

void StudioPeerConnectionWatch::stop() {
    QUILLORY_CHECK_ON(*main_);
    connectTimeout_.cancel();
    graceGeneration_.reset();
    grace_.reset();
}

}  // namespace quillory
