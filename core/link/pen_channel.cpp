#include "core/link/pen_channel.h"

#include <algorithm>
#include <chrono>

#include "platform/dispatch/sequence_checker.h"

namespace quillory {

namespace {

SessionPayload payloadOf(SessionPayload::Kind kind) {
    SessionPayload payload;
    payload.kind = kind;
    return payload;
}

// Overloads for std::visit.
template <typename... Handlers>
struct Visitor : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers>
Visitor(Handlers...) -> Visitor<Handlers...>;

}  // namespace

std::shared_ptr<PenChannel> PenChannel::create(StreamConnection connection, Role role,
                                               std::string name,
                                               std::shared_ptr<DeviceTrustStore> store, Uuid intent,
                                               std::optional<std::string> expectedPeer,
                                               bool allowPairing, Options options) {
    if (connection.fd() < 0 || !store) {
        return nullptr;
    }
    return std::shared_ptr<PenChannel>(
        new PenChannel(connection.release(), role, std::move(name), std::move(store), intent,
                       std::move(expectedPeer), allowPairing, std::move(options)));
}

PenChannel::PenChannel(int fd, Role role, std::string name, std::shared_ptr<DeviceTrustStore> store,
                       Uuid intent, std::optional<std::string> expectedPeer, bool allowPairing,
                       Options options)
    : role_(role),
      queue_(std::make_unique<SerialQueue>("com.quillory.transport")),
      handshake_({role, SessionHello::cleanedName(name, role), std::move(store), intent,
                  std::move(expectedPeer), allowPairing, std::move(options.ephemeralPrivateKey),
                  std::move(options.nonce)}),
      transport_(*queue_, fd),
      liveness_(std::move(options.timers), std::move(options.clock), *queue_) {}

PenChannel::~PenChannel() = default;

void PenChannel::releaseOnMain(std::shared_ptr<PenChannel> self) {
    // A channel must not be destroyed on its own queue: the queue's thread would have to outlive
    // its owner. Once closed, the transport side hands its references to the main queue.
    if (self->isClosed()) {
        MainQueue::post([self = std::move(self)] {});
    }
}

template <typename Work>
void PenChannel::onQueue(Work work) {
    queue_->async([self = shared_from_this(), work = std::move(work)]() mutable {
        work(*self);
        releaseOnMain(std::move(self));
    });
}

template <typename Work>
bool PenChannel::onQueueSync(Work work) {
    bool result = false;
    auto body = [&] { result = work(*this); };
    if (queue_->isCurrent()) {
        body();
        return result;
    }
    return queue_->sync(body) && result;
}

void PenChannel::start() {
    onQueue([](PenChannel& self) { self.begin(); });
}

void PenChannel::setEvents(PenChannelEvents events) {
    static_cast<PenChannelEvents&>(*this) = std::move(events);
}

void PenChannel::close(ConnectionEnd end, Cause cause) {
    onQueue([end = std::move(end), cause](PenChannel& self) mutable {
        self.finish(std::move(end), cause);
    });
}

bool PenChannel::stop() {
    QUILLORY_CHECK_MAIN_THREAD();
    return askHandshake(&ChannelHandshake::stop);
}

bool PenChannel::askHandshake(ChannelHandshake::Step (ChannelHandshake::*request)()) {
    return onQueueSync([request](PenChannel& self) {
        auto step = (self.handshake_.*request)();
        const bool accepted = step.accepted;
        self.apply(std::move(step));
        return accepted;
    });
}

std::optional<PenChannel::Cause> PenChannel::closedCause() const {
    const int cause = closedCause_.load();
    return cause < 0 ? std::nullopt : std::optional<Cause>(static_cast<Cause>(cause));
}

std::optional<std::string> PenChannel::localAddress() {
    QUILLORY_CHECK_MAIN_THREAD();
    std::optional<std::string> address;
    onQueueSync([&address](PenChannel& self) {
        address = self.transport_.localAddress();
        return true;
    });
    return address;
}

bool PenChannel::waitUntilStopWritten(double seconds) {
    QUILLORY_CHECK_MAIN_THREAD();
    std::unique_lock lock(stopMutex_);
    return stopSettledCondition_.wait_for(lock, std::chrono::duration<double>(seconds),
                                          [this] { return stopSettled_; });
}

void PenChannel::stopSettled() {
    {
        std::lock_guard lock(stopMutex_);
        stopSettled_ = true;
    }
    stopSettledCondition_.notify_all();
}

bool PenChannel::approve() {
    QUILLORY_CHECK_MAIN_THREAD();
    return askHandshake(&ChannelHandshake::approve);
}

void PenChannel::send(StudioSignal studio) {
    onQueue([studio = std::move(studio)](PenChannel& self) mutable {
        auto payload = payloadOf(SessionPayload::Kind::studio);
        payload.studio = std::move(studio);
        self.sendSealed(std::move(payload));
    });
}

void PenChannel::send(ControlsSignal controls) {
    onQueue([controls = std::move(controls)](PenChannel& self) mutable {
        auto payload = payloadOf(SessionPayload::Kind::controls);
        payload.controls = std::move(controls);
        self.sendSealed(std::move(payload));
    });
}

void PenChannel::send(DesktopContext desktopContext) {
    onQueue([context = std::move(desktopContext)](PenChannel& self) mutable {
        auto payload = payloadOf(SessionPayload::Kind::desktop);
        payload.desktop = std::move(context);
        self.sendSealed(std::move(payload));
    });
}

void PenChannel::send(std::vector<PenSample> samples) {
    onQueue([samples = std::move(samples)](PenChannel& self) mutable {
        if (self.role_ != Role::pad) {
            channelLog().error("Dropped pen samples: only a pad sends them");
            return;
        }
        if (self.handshake_.phase() != Phase::ready) {
            self.discardedSamples_ += samples.size();
            return;
        }
        if (samples.empty()) {
            // The tablet cancelled its input: what is buffered goes first, then the empty batch.
            self.flushSamples();
            auto payload = payloadOf(SessionPayload::Kind::input);
            payload.samples = std::vector<PenSample>{};
            self.sendSealed(std::move(payload));
            return;
        }
        for (auto& sample : samples) {
            if (self.outboundSamples_.size() == maxBufferedSamples) {
                self.outboundSamples_.pop_front();
                ++self.discardedSamples_;
            }
            self.outboundSamples_.push_back(std::move(sample));
        }
        self.flushSamples();
    });
}

void PenChannel::send(DesktopAction action) {
    onQueue([action = std::move(action)](PenChannel& self) mutable {
        if (self.role_ != Role::pad) {
            channelLog().error("Dropped a desktop action: only a pad sends them");
            return;
        }
        auto payload = payloadOf(SessionPayload::Kind::action);
        payload.action = std::move(action);
        self.sendSealed(std::move(payload));
    });
}

void PenChannel::setLocalDisplay(std::optional<DisplayGeometry> display) {
    onQueue([display](PenChannel& self) { self.localDisplay_ = display; });
}

void PenChannel::setInputReceivers(std::function<void(const std::vector<PenSample>&)> samples,
                                   std::function<void(const DesktopAction&)> action,
                                   std::function<void()> cancelled, std::function<void()> ended) {
    onQueue([samples = std::move(samples), action = std::move(action),
             cancelled = std::move(cancelled), ended = std::move(ended)](PenChannel& self) mutable {
        self.samplesReceiver_ = std::move(samples);
        self.actionReceiver_ = std::move(action);
        self.cancelledReceiver_ = std::move(cancelled);
        self.endedReceiver_ = std::move(ended);
        if (!self.samplesReceiver_ || self.isClosed()) {
            return;
        }
        auto held = std::exchange(self.heldInput_, {});
        self.heldSamples_ = 0;
        for (auto& input : held) {
            if (!input.samples.empty()) {
                self.samplesReceiver_(input.samples);
            } else if (input.action) {
                self.deliverAction(*input.action);
            } else {
                self.deliverCancelled();
            }
        }
    });
}

bool PenChannel::hold(std::vector<PenSample> samples, std::optional<DesktopAction> action) {
    QUILLORY_CHECK_ON(*queue_);
    if (heldSamples_ + samples.size() > maxHeldSamples) {
        return false;
    }
    heldSamples_ += samples.size();
    // Batches in a row become one, so that handing them over cannot flood the receiver.
    if (!samples.empty() && !heldInput_.empty() && !heldInput_.back().samples.empty()) {
        auto& last = heldInput_.back().samples;
        last.insert(last.end(), samples.begin(), samples.end());
        return true;
    }
    if (heldInput_.size() >= maxHeldInputs) {
        heldSamples_ -= samples.size();
        return false;
    }
    heldInput_.push_back({std::move(samples), std::move(action)});
    return true;
}

// Starting and closing

void PenChannel::begin() {
    QUILLORY_CHECK_ON(*queue_);
    if (handshake_.phase() != Phase::idle) {
        return;
    }
    // The parts hold the channel through the interfaces it gives them.
    const auto self = shared_from_this();
    liveness_.start(std::shared_ptr<LivenessTimers::Owner>(self, this));
    if (!transport_.open(std::shared_ptr<SealedTransport::Owner>(self, this))) {
        finish(Termination::endFor(Cause::networkFailure), Cause::networkFailure);
        return;
    }
    apply(handshake_.start());
    transport_.startReading();
}

void PenChannel::fail(Cause cause) {
    QUILLORY_CHECK_ON(*queue_);
    if (const auto& decided = handshake_.decided()) {
        // A stop already decided how this ends; the peer's reaction must not change it.
        finish(decided->end, decided->cause);
    } else {
        finish(Termination::endFor(cause), cause);
    }
}

void PenChannel::finish(ConnectionEnd end, Cause cause) {
    QUILLORY_CHECK_ON(*queue_);
    if (isClosed()) {
        return;
    }
    handshake_.close();
    closedCause_.store(static_cast<int>(cause));
    liveness_.cancelAll();
    const auto pending = static_cast<long>(transport_.close());
    discardedSamples_ += outboundSamples_.size() + heldSamples_;
    outboundSamples_.clear();
    heldInput_.clear();
    heldSamples_ = 0;
    stopSettled();
    if (auto ended = std::move(endedReceiver_)) {
        samplesReceiver_ = nullptr;
        actionReceiver_ = nullptr;
        cancelledReceiver_ = nullptr;
        ended();
    }
    channelLog().info(
        "Closed %s: %s, reason %s, pending %ld, inbound age %f ms, discarded input %ld",
        role_ == Role::mac ? "mac" : "pad", Termination::rawValue(cause), end.caseName().c_str(),
        pending, liveness_.secondsSinceInbound() * 1e3, static_cast<long>(discardedSamples_));
    // Holds the channel until the main queue has seen its end.
    MainQueue::post([self = shared_from_this(), callback = onEnded, end = std::move(end)] {
        if (callback) {
            callback(end);
        }
    });
}

void PenChannel::apply(ChannelHandshake::Step step) {
    QUILLORY_CHECK_ON(*queue_);
    using H = ChannelHandshake;
    for (auto& action : step.actions) {
        if (isClosed()) {
            return;
        }
        std::visit(
            Visitor{
                [this](H::SendLine& line) { transport_.sendLine(line.kind, line.data); },
                [this](H::SendSealed& sealed) {
                    if (transport_.sendPayload(payloadOf(sealed.kind)) &&
                        sealed.kind == SessionPayload::Kind::stop) {
                        linesUntilStop_ = transport_.pendingLines();
                    }
                },
                [this](H::UseKeys& keys) { transport_.useKeys(keys.keys); },
                [this](H::PeerFound& found) { post(onPeer, found.peer, found.intent); },
                [this](H::ShowCode& code) { post(onPairing, code.code, code.peerName); },
                [this](H::ApprovalChanged& change) {
                    post(onApprovalChange, change.local, change.remote);
                },
                [this](H::Ready&) {
                    liveness_.cancelDeadline();
                    post(onReady);
                },
                [this](H::ArmDeadline& deadline) { liveness_.armDeadline(deadline.seconds); },
                [this](H::StartHeartbeat&) { liveness_.startHeartbeat(); },
                [this](H::BeginStopping&) {
                    liveness_.stopPinging();
                    liveness_.armStopDelay();
                },
                [this](H::Fail& failure) { fail(failure.cause); },
                [this](H::Finish& end) { finish(std::move(end.end), end.cause); },
            },
            action);
    }
}

// Receiving

void PenChannel::transportReceived(const std::vector<SessionPacket>& packets) {
    QUILLORY_CHECK_ON(*queue_);
    liveness_.heard();
    for (const auto& packet : packets) {
        if (isClosed()) {
            return;
        }
        if (packet.kind == SessionPacket::Kind::sealed) {
            handleSealed(packet);
        } else {
            apply(handshake_.receive(packet));
        }
    }
}

void PenChannel::transportFailed(Cause cause) {
    fail(cause);
}

void PenChannel::transportWrote() {
    if (linesUntilStop_ && --*linesUntilStop_ == 0) {
        linesUntilStop_.reset();
        stopSettled();
    }
    if (role_ == Role::pad) {
        flushSamples();
    }
}

void PenChannel::handleSealed(const SessionPacket& packet) {
    QUILLORY_CHECK_ON(*queue_);
    if (!transport_.isSealed()) {
        fail(Cause::invalidFrame);
        return;
    }
    auto payload = transport_.unseal(packet);
    if (!payload) {
        fail(payload.error());
        return;
    }
    handlePayload(std::move(payload).value());
}

void PenChannel::handlePayload(SessionPayload payload) {
    QUILLORY_CHECK_ON(*queue_);
    using Kind = SessionPayload::Kind;
    if (handshake_.phase() == Phase::stopping) {
        if (payload.kind == Kind::input && payload.samples) {
            discardedSamples_ += payload.samples->size();
        }
        return;
    }
    if (!handshake_.accepts(payload.kind)) {
        fail(Cause::invalidPayload);
        return;
    }
    if (!payload.isValid()) {
        channelLog().error("Dropped an invalid \"%s\" payload",
                           std::string(rawValue(payload.kind)).c_str());
        if (payload.kind == Kind::input || payload.kind == Kind::action) {
            if (payload.samples) {
                discardedSamples_ += payload.samples->size();
            }
            deliverCancelled();
        }
        return;
    }
    switch (payload.kind) {
        case Kind::input:
            deliverSamples(std::move(*payload.samples));
            return;
        case Kind::action:
            deliverAction(*payload.action);
            return;
        case Kind::desktop:
            post(onDesktopContext, std::move(*payload.desktop));
            return;
        case Kind::controls:
            post(onControls, std::move(*payload.controls));
            return;
        case Kind::studio:
            post(onStudio, std::move(*payload.studio));
            return;
        case Kind::ping: {
            auto pong = payloadOf(Kind::pong);
            pong.probe = payload.probe;
            pong.display = localDisplay_;
            transport_.sendPayload(std::move(pong));
            return;
        }
        case Kind::pong:
            handlePong(payload);
            return;
        case Kind::known:
        case Kind::unknown:
        case Kind::approve:
        case Kind::saved:
        case Kind::stop:
            apply(handshake_.receiveTrust(payload.kind));
            return;
    }
}

void PenChannel::deliverSamples(std::vector<PenSample> samples) {
    if (samples.empty()) {
        deliverCancelled();
        return;
    }
    if (samplesReceiver_) {
        samplesReceiver_(samples);
    } else if (const auto count = samples.size(); !hold(std::move(samples), std::nullopt)) {
        discardedSamples_ += count;
    }
}

void PenChannel::deliverAction(const DesktopAction& action) {
    if (samplesReceiver_) {
        if (actionReceiver_) {
            actionReceiver_(action);
        }
    } else {
        hold({}, action);
    }
}

void PenChannel::deliverCancelled() {
    if (samplesReceiver_) {
        if (cancelledReceiver_) {
            cancelledReceiver_();
        }
    } else {
        hold({}, std::nullopt);
    }
}

void PenChannel::handlePong(const SessionPayload& payload) {
    if (payload.display && payload.display->isValid() && payload.display != lastPostedDisplay_) {
        lastPostedDisplay_ = payload.display;
        post(onDisplay, *payload.display);
    }
    if (!payload.probe) {
        post(onLatency, LinkLatency::unsupported());
        return;
    }
    if (const auto milliseconds = liveness_.answered(*payload.probe)) {
        post(onLatency, LinkLatency::measured(*milliseconds));
    }
}

// Sending

bool PenChannel::sendSealed(SessionPayload payload) {
    QUILLORY_CHECK_ON(*queue_);
    using Kind = SessionPayload::Kind;
    const auto kind = payload.kind;
    const bool control = kind == Kind::known || kind == Kind::unknown || kind == Kind::approve ||
                         kind == Kind::saved || kind == Kind::stop || kind == Kind::ping ||
                         kind == Kind::pong;
    if (!control) {
        const bool padOnly = kind == Kind::input || kind == Kind::action;
        const bool macOnly = kind == Kind::desktop;
        if ((padOnly && role_ != Role::pad) || (macOnly && role_ != Role::mac)) {
            channelLog().error("Dropped a \"%s\" payload: wrong direction",
                               std::string(rawValue(kind)).c_str());
            return false;
        }
        if (handshake_.phase() != Phase::ready) {
            channelLog().debug("Dropped a \"%s\" payload before the link is ready",
                               std::string(rawValue(kind)).c_str());
            return false;
        }
        if (!payload.isValid()) {
            channelLog().error("Dropped an invalid \"%s\" payload",
                               std::string(rawValue(kind)).c_str());
            return false;
        }
    }
    return transport_.sendPayload(std::move(payload));
}

void PenChannel::flushSamples() {
    QUILLORY_CHECK_ON(*queue_);
    while (handshake_.phase() == Phase::ready && !outboundSamples_.empty() &&
           transport_.pendingLines() <= maxPendingLinesForSamples) {
        const auto count = std::min(outboundSamples_.size(), maxSamplesPerLine);
        std::vector<PenSample> batch(outboundSamples_.begin(),
                                     outboundSamples_.begin() + static_cast<std::ptrdiff_t>(count));
        outboundSamples_.erase(outboundSamples_.begin(),
                               outboundSamples_.begin() + static_cast<std::ptrdiff_t>(count));
        auto payload = payloadOf(SessionPayload::Kind::input);
        payload.samples = std::move(batch);
        if (!sendSealed(std::move(payload))) {
            discardedSamples_ += count;
        }
    }
}

// Timers

void PenChannel::handshakeDeadlinePassed() {
    QUILLORY_CHECK_ON(*queue_);
    if (handshake_.phase() != Phase::ready) {
        fail(Cause::handshakeTimeout);
    }
}

void PenChannel::heartbeatExpired() {
    QUILLORY_CHECK_ON(*queue_);
    fail(Cause::heartbeatExpired);
}

void PenChannel::pingDue() {
    QUILLORY_CHECK_ON(*queue_);
    if (isClosed() || handshake_.phase() == Phase::stopping) {
        return;
    }
    const auto probe = liveness_.nextProbe();
    if (probe.previousUnanswered) {
        post(onLatency, LinkLatency::timedOut());
    }
    auto payload = payloadOf(SessionPayload::Kind::ping);
    payload.probe = probe.probe;
    transport_.sendPayload(std::move(payload));
    liveness_.armPing();
}

void PenChannel::stopDelayPassed() {
    QUILLORY_CHECK_ON(*queue_);
    if (const auto& decided = handshake_.decided()) {
        finish(decided->end, decided->cause);
    }
}

}  // namespace quillory
