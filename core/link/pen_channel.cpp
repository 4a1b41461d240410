#include "core/link/pen_channel.h"

#include "platform/dispatch/sequence_checker.h"

namespace quillory {

namespace {

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
    : queue_(std::make_unique<SerialQueue>("com.quillory.transport")),
      handshake_({role, SessionHello::cleanedName(name, role), std::move(store), intent,
                  std::move(expectedPeer), allowPairing, std::move(options.ephemeralPrivateKey),
                  std::move(options.nonce)}),
      transport_(*queue_, fd),
      liveness_(std::move(options.timers), std::move(options.clock), *queue_),
      outbox_(transport_, handshake_, *queue_),
      inbound_(*queue_) {}

PenChannel::~PenChannel() = default;

template <typename Work>
void PenChannel::onQueue(Work work) {
    queue_->async([self = shared_from_this(), work = std::move(work)]() mutable {
        work(*self);
        // A channel must not be destroyed on its own queue: the queue's thread would have to
        // outlive its owner. Once closed, the transport side hands its references to the main
        // queue.
        if (self->isClosed()) {
            MainQueue::post([self = std::move(self)] {});
        }
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
    return stopWritten_.waitFor(seconds);
}

bool PenChannel::approve() {
    QUILLORY_CHECK_MAIN_THREAD();
    return askHandshake(&ChannelHandshake::approve);
}

void PenChannel::send(StudioSignal studio) {
    onQueue([studio = std::move(studio)](PenChannel& self) mutable {
        auto payload = payloadOf(SessionPayload::Kind::studio);
        payload.studio = std::move(studio);
        self.outbox_.send(std::move(payload));
    });
}

void PenChannel::send(ControlsSignal controls) {
    onQueue([controls = std::move(controls)](PenChannel& self) mutable {
        auto payload = payloadOf(SessionPayload::Kind::controls);
        payload.controls = std::move(controls);
        self.outbox_.send(std::move(payload));
    });
}

void PenChannel::send(DesktopContext desktopContext) {
    onQueue([context = std::move(desktopContext)](PenChannel& self) mutable {
        auto payload = payloadOf(SessionPayload::Kind::desktop);
        payload.desktop = std::move(context);
        self.outbox_.send(std::move(payload));
    });
}

void PenChannel::send(std::vector<PenSample> samples) {
    onQueue([samples = std::move(samples)](PenChannel& self) mutable {
        self.outbox_.sendSamples(std::move(samples));
    });
}

void PenChannel::send(DesktopAction action) {
    onQueue([action = std::move(action)](PenChannel& self) mutable {
        if (self.handshake_.role() != Role::pad) {
            channelLog().error("Dropped a desktop action: only a pad sends them");
            return;
        }
        auto payload = payloadOf(SessionPayload::Kind::action);
        payload.action = std::move(action);
        self.outbox_.send(std::move(payload));
    });
}

void PenChannel::setLocalDisplay(std::optional<DisplayGeometry> display) {
    onQueue([display](PenChannel& self) { self.outbox_.setLocalDisplay(display); });
}

void PenChannel::setInputReceivers(std::function<void(const std::vector<PenSample>&)> samples,
                                   std::function<void(const DesktopAction&)> action,
                                   std::function<void()> cancelled, std::function<void()> ended) {
    onQueue([samples = std::move(samples), action = std::move(action),
             cancelled = std::move(cancelled), ended = std::move(ended)](PenChannel& self) mutable {
        self.inbound_.install(std::move(samples), std::move(action), std::move(cancelled),
                              std::move(ended));
    });
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
    outbox_.drop();
    stopWritten_.settle();
    inbound_.end();
    channelLog().info(
        "Closed %s: %s, reason %s, pending %ld, inbound age %f ms, discarded input %ld",
        handshake_.role() == Role::mac ? "mac" : "pad", Termination::rawValue(cause),
        end.caseName().c_str(), pending, liveness_.secondsSinceInbound() * 1e3,
        static_cast<long>(outbox_.discarded() + inbound_.discarded()));
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
                        stopWritten_.expectLines(transport_.pendingLines());
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
        if (packet.kind != SessionPacket::Kind::sealed) {
            apply(handshake_.receive(packet));
        } else if (!transport_.isSealed()) {
            fail(Cause::invalidFrame);
        } else if (auto payload = transport_.unseal(packet); !payload) {
            fail(payload.error());
        } else {
            handlePayload(std::move(payload).value());
        }
    }
}

void PenChannel::transportFailed(Cause cause) {
    fail(cause);
}

void PenChannel::transportWrote() {
    stopWritten_.lineWritten();
    if (handshake_.role() == Role::pad) {
        outbox_.flush();
    }
}

void PenChannel::handlePayload(SessionPayload payload) {
    QUILLORY_CHECK_ON(*queue_);
    using Kind = SessionPayload::Kind;
    if (handshake_.phase() == Phase::stopping) {
        if (payload.kind == Kind::input && payload.samples) {
            inbound_.discard(payload.samples->size());
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
                inbound_.discard(payload.samples->size());
            }
            inbound_.deliverCancelled();
        }
        return;
    }
    switch (payload.kind) {
        case Kind::input:
            inbound_.deliverSamples(std::move(*payload.samples));
            return;
        case Kind::action:
            inbound_.deliverAction(*payload.action);
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
        case Kind::ping:
            outbox_.answerPing(payload);
            return;
        case Kind::pong:
            if (payload.display && payload.display->isValid() &&
                payload.display != lastPostedDisplay_) {
                lastPostedDisplay_ = payload.display;
                post(onDisplay, *payload.display);
            }
            if (!payload.probe) {
                post(onLatency, LinkLatency::unsupported());
            } else if (const auto milliseconds = liveness_.answered(*payload.probe)) {
                post(onLatency, LinkLatency::measured(*milliseconds));
            }
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
    outbox_.ping(probe.probe);
    liveness_.armPing();
}

void PenChannel::stopDelayPassed() {
    QUILLORY_CHECK_ON(*queue_);
    if (const auto& decided = handshake_.decided()) {
        finish(decided->end, decided->cause);
    }
}

}  // namespace quillory
