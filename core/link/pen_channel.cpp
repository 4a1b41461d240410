#include "core/link/pen_channel.h"

#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include "platform/dispatch/main_queue.h"

namespace quillory {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr const char* kPairingExpired = "Pairing expired. Select your Mac to try again.";

}  // namespace

const Logger& PenChannel::log() {
    static const Logger logger("app.quillory.connection", "channel");
    return logger;
}

session_crypto::Side PenChannel::sideOf(Role role) {
    return role == Role::mac ? session_crypto::Side::mac : session_crypto::Side::pad;
}

ConnectionEnd PenChannel::endFor(Cause cause) {
    switch (cause) {
        case Cause::peerStopped:
        case Cause::intentStopped:
        case Cause::application:
            return ConnectionEnd(ConnectionEnd::Case::stopped);
        case Cause::handshakeTimeout:
            return ConnectionEnd::failure(kPairingExpired);
        case Cause::frameSizeExceeded:
        case Cause::invalidFrame:
        case Cause::handshakeRejected:
        case Cause::decryptionFailed:
        case Cause::invalidPayload:
            return ConnectionEnd(ConnectionEnd::Case::verification);
        case Cause::unsupportedVersion:
            return ConnectionEnd(ConnectionEnd::Case::incompatible);
        case Cause::identityMismatch:
            return ConnectionEnd(ConnectionEnd::Case::identityChanged);
        case Cause::pairingNotAllowed:
            return ConnectionEnd(ConnectionEnd::Case::trustRequired);
        case Cause::storageFailure:
            return ConnectionEnd(ConnectionEnd::Case::storage);
        case Cause::systemPaused:
        case Cause::peerClosed:
        case Cause::networkFailure:
        case Cause::heartbeatExpired:
        case Cause::writeBackpressure:
            break;
    }
    return ConnectionEnd(ConnectionEnd::Case::interrupted);
}

SessionPayload PenChannel::payloadOf(SessionPayload::Kind kind) {
    SessionPayload payload;
    payload.kind = kind;
    return payload;
}

const char* PenChannel::Termination::rawValue(Cause cause) {
    static constexpr const char* names[] = {
        "application",       "systemPaused",      "peerStopped",      "intentStopped",
        "peerClosed",        "networkFailure",    "handshakeTimeout", "heartbeatExpired",
        "frameSizeExceeded", "writeBackpressure", "invalidFrame",     "unsupportedVersion",
        "handshakeRejected", "decryptionFailed",  "invalidPayload",   "identityMismatch",
        "pairingNotAllowed", "storageFailure",
    };
    return names[static_cast<std::size_t>(cause)];
}

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
      name_(SessionHello::cleanedName(name, role)),
      store_(std::move(store)),
      intent_(intent),
      expectedPeer_(std::move(expectedPeer)),
      allowPairing_(allowPairing),
      timers_(options.timers ? options.timers : std::make_shared<SystemTransportTimers>()),
      queue_(std::make_unique<SerialQueue>("com.quillory.transport")),
      socket_(queue_->context()),
      pendingFd_(fd),
      options_(std::move(options)),
      readBuffer_(kReadChunk) {}

PenChannel::~PenChannel() {
    if (pendingFd_ >= 0) {
        StreamConnection(pendingFd_).cancel();
    }
    std::error_code ignored;
    socket_.close(ignored);
}

void PenChannel::releaseOnMain(std::shared_ptr<PenChannel> self) {
    // A channel must not be destroyed on its own queue: the queue's thread would have to outlive
    // its owner. Once closed, the transport side hands its references to the main queue.
    if (self->phase_ == Phase::closed) {
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

void PenChannel::close(ConnectionEnd end, Cause cause) {
    onQueue([end = std::move(end), cause](PenChannel& self) mutable {
        self.finish(std::move(end), cause);
    });
}

bool PenChannel::stop() {
    return onQueueSync([](PenChannel& self) { return self.stopNow(); });
}

std::optional<PenChannel::Cause> PenChannel::closedCause() const {
    const int cause = closedCause_.load();
    return cause < 0 ? std::nullopt : std::optional<Cause>(static_cast<Cause>(cause));
}

bool PenChannel::approve() {
    return onQueueSync([](PenChannel& self) { return self.approveNow(); });
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
            log().error("Dropped pen samples: only a pad sends them");
            return;
        }
        if (self.phase_ != Phase::ready) {
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
            if (self.outboundSamples_.size() == kMaxBufferedSamples) {
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
            log().error("Dropped a desktop action: only a pad sends them");
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
    });
}

// MARK: connection

void PenChannel::begin() {
    if (phase_ != Phase::idle) {
        return;
    }
    startedAt_ = timers_->nowNanoseconds();
    lastInbound_ = startedAt_;
    const int fd = pendingFd_;
    pendingFd_ = -1;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    std::error_code error;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        StreamConnection(fd).cancel();
        phase_ = Phase::awaitCommit;
        finish(endFor(Cause::networkFailure), Cause::networkFailure);
        return;
    }
    const int family = address.ss_family;
    const bool inet = family == AF_INET || family == AF_INET6;
    socket_.assign(asio::generic::stream_protocol(family, inet ? IPPROTO_TCP : 0), fd, error);
    if (inet) {
        const int one = 1;
        const int serviceClass = 0x88;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // Best effort: interactive video service class.
        if (family == AF_INET) {
            ::setsockopt(fd, IPPROTO_IP, IP_TOS, &serviceClass, sizeof serviceClass);
        } else {
            ::setsockopt(fd, IPPROTO_IPV6, IPV6_TCLASS, &serviceClass, sizeof serviceClass);
        }
    }
    phase_ = Phase::awaitCommit;
    if (error) {
        finish(endFor(Cause::networkFailure), Cause::networkFailure);
        return;
    }

    ephemeral_ = options_.ephemeralPrivateKey
                     ? crypto::X25519PrivateKey::fromRaw(options_.ephemeralPrivateKey->view())
                     : std::nullopt;
    if (!ephemeral_) {
        ephemeral_ = crypto::X25519PrivateKey::generate();
    }
    nonce_ =
        options_.nonce && options_.nonce->size() == 32 ? *options_.nonce : crypto::randomBytes(32);
    const auto body = session_crypto::helloBody(sideOf(role_), store_->identityPublicKey(),
                                                ephemeral_->publicKey(), nonce_, intent_, name_);
    ownCommit_ = crypto::sha256(body);
    armHandshakeDeadline(kHandshakeDeadline);
    sendLine(SessionPacket::Kind::commit, ownCommit_);
    readMore();
}

void PenChannel::readMore() {
    socket_.async_read_some(asio::buffer(readBuffer_), [self = shared_from_this()](
                                                           const std::error_code& error,
                                                           std::size_t count) mutable {
        if (self->phase_ != Phase::closed) {
            if (error) {
                self->fail(error == asio::error::eof ? Cause::peerClosed : Cause::networkFailure);
            } else {
                self->received(count);
                if (self->phase_ != Phase::closed) {
                    self->readMore();
                }
            }
        }
        releaseOnMain(std::move(self));
    });
}

void PenChannel::received(std::size_t count) {
    auto result = decoder_.append(ByteView(readBuffer_.data(), count));
    if (!result.packets.empty()) {
        lastInbound_ = timers_->nowNanoseconds();
    }
    for (const auto& packet : result.packets) {
        if (phase_ == Phase::closed) {
            return;
        }
        handle(packet);
    }
    if (result.error && phase_ != Phase::closed) {
        if (*result.error == ProtocolError::unsupportedVersion) {
            fail(Cause::unsupportedVersion);
        } else {
            fail(decoder_.lineTooLong() ? Cause::frameSizeExceeded : Cause::invalidFrame);
        }
    }
}

void PenChannel::handle(const SessionPacket& packet) {
    switch (packet.kind) {
        case SessionPacket::Kind::commit:
            handleCommit(packet);
            return;
        case SessionPacket::Kind::hello:
            handleHello(packet);
            return;
        case SessionPacket::Kind::sealed:
            handleSealed(packet);
            return;
    }
}

// MARK: closing

void PenChannel::fail(Cause cause) {
    if (decided_) {
        // A stop already decided how this ends; the peer's reaction must not change it.
        finish(decided_->end, decided_->cause);
    } else {
        finish(endFor(cause), cause);
    }
}

void PenChannel::finish(ConnectionEnd end, Cause cause) {
    if (phase_ == Phase::closed) {
        return;
    }
    phase_ = Phase::closed;
    closedCause_.store(static_cast<int>(cause));
    handshakeDeadline_.cancel();
    heartbeat_.cancel();
    pingTimer_.cancel();
    stopTimer_.cancel();
    std::error_code ignored;
    socket_.close(ignored);
    if (pendingFd_ >= 0) {
        StreamConnection(pendingFd_).cancel();
        pendingFd_ = -1;
    }
    const auto pending = static_cast<long>(writeQueue_.size());
    writeQueue_.clear();
    queuedBytes_ = 0;
    discardedSamples_ += outboundSamples_.size();
    outboundSamples_.clear();
    if (auto ended = std::move(endedReceiver_)) {
        samplesReceiver_ = nullptr;
        actionReceiver_ = nullptr;
        cancelledReceiver_ = nullptr;
        ended();
    }
    log().info("Closed %s: %s, reason %s, pending %ld, inbound age %f ms, discarded input %ld",
               role_ == Role::mac ? "mac" : "pad", Termination::rawValue(cause),
               end.caseName().c_str(), pending, secondsSince(lastInbound_) * 1e3,
               static_cast<long>(discardedSamples_));
    // Holds the channel until the main queue has seen its end.
    MainQueue::post([self = shared_from_this(), callback = onEnded, end = std::move(end)] {
        if (callback) {
            callback(end);
        }
    });
}

// MARK: writing

void PenChannel::sendLine(SessionPacket::Kind kind, ByteView data) {
    if (phase_ == Phase::closed) {
        return;
    }
    SessionPacket packet{kind, Bytes(data.begin(), data.end())};
    auto line = packet.encodeLine();
    if (line.size() > SessionPacket::kMaxLineBytes + 1) {
        log().error("Dropped an outbound line of %zu bytes", line.size() - 1);
        return;
    }
    queuedBytes_ += line.size();
    writeQueue_.push_back(std::move(line));
    if (queuedBytes_ > kMaxQueuedBytes || writeQueue_.size() > kMaxQueuedLines) {
        fail(Cause::writeBackpressure);
        return;
    }
    writeNext();
}

bool PenChannel::sendSealed(SessionPayload payload) {
    using Kind = SessionPayload::Kind;
    const auto kind = payload.kind;
    const bool control = kind == Kind::known || kind == Kind::unknown || kind == Kind::approve ||
                         kind == Kind::saved || kind == Kind::stop || kind == Kind::ping ||
                         kind == Kind::pong;
    if (!control) {
        const bool padOnly = kind == Kind::input || kind == Kind::action;
        const bool macOnly = kind == Kind::desktop;
        if ((padOnly && role_ != Role::pad) || (macOnly && role_ != Role::mac)) {
            log().error("Dropped a \"%s\" payload: wrong direction",
                        std::string(rawValue(kind)).c_str());
            return false;
        }
        if (phase_ != Phase::ready) {
            log().debug("Dropped a \"%s\" payload before the link is ready",
                        std::string(rawValue(kind)).c_str());
            return false;
        }
        if (!payload.isValid()) {
            log().error("Dropped an invalid \"%s\" payload", std::string(rawValue(kind)).c_str());
            return false;
        }
    }
    return sendPayload(std::move(payload));
}

bool PenChannel::sendPayload(SessionPayload payload) {
    if (!keys_ || phase_ == Phase::closed) {
        return false;
    }
    payload.counter = sealer_.next();
    const auto plaintext = payload.encode();
    // Checked before sealing: a sealed record that is never sent would break the sequence.
    if (plaintext.size() > kMaxPayloadBytes) {
        log().error("Dropped a \"%s\" payload of %zu bytes",
                    std::string(rawValue(payload.kind)).c_str(), plaintext.size());
        return false;
    }
    const auto sealed = sealer_.seal(asBytes(plaintext));
    sendLine(SessionPacket::Kind::sealed, sealed);
    return true;
}

void PenChannel::flushSamples() {
    while (phase_ == Phase::ready && !outboundSamples_.empty() &&
           writeQueue_.size() <= kMaxPendingLinesForSamples) {
        const auto count = std::min(outboundSamples_.size(), kMaxSamplesPerLine);
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

void PenChannel::writeNext() {
    if (writing_ || writeQueue_.empty() || phase_ == Phase::closed) {
        return;
    }
    writing_ = true;
    asio::async_write(
        socket_, asio::buffer(writeQueue_.front()),
        [self = shared_from_this()](const std::error_code& error, std::size_t) mutable {
            self->writing_ = false;
            if (self->phase_ != Phase::closed) {
                self->written(error);
            }
            releaseOnMain(std::move(self));
        });
}

void PenChannel::written(const std::error_code& error) {
    if (error) {
        fail(Cause::networkFailure);
        return;
    }
    queuedBytes_ -= writeQueue_.front().size();
    writeQueue_.pop_front();
    writeNext();
    if (role_ == Role::pad) {
        flushSamples();
    }
}

// MARK: timers

double PenChannel::secondsSince(std::uint64_t nanoseconds) const {
    const auto now = timers_->nowNanoseconds();
    return now > nanoseconds ? static_cast<double>(now - nanoseconds) / 1e9 : 0.0;
}

void PenChannel::armHandshakeDeadline(double seconds) {
    std::weak_ptr<PenChannel> weakSelf = weak_from_this();
    handshakeDeadline_ = timers_->after(*queue_, seconds, [weakSelf] {
        if (auto self = weakSelf.lock(); self && self->phase_ != Phase::ready) {
            self->fail(Cause::handshakeTimeout);
        }
    });
}

void PenChannel::armHeartbeat() {
    const double remaining = kHeartbeatExpiry - secondsSince(lastInbound_);
    std::weak_ptr<PenChannel> weakSelf = weak_from_this();
    heartbeat_ = timers_->after(*queue_, std::max(remaining, 0.0), [weakSelf] {
        auto self = weakSelf.lock();
        if (!self || self->phase_ == Phase::closed) {
            return;
        }
        // One timer for the whole link: it sleeps again for whatever time the last line bought.
        if (self->secondsSince(self->lastInbound_) >= kHeartbeatExpiry) {
            self->fail(Cause::heartbeatExpired);
        } else {
            self->armHeartbeat();
        }
    });
}

void PenChannel::armPing() {
    std::weak_ptr<PenChannel> weakSelf = weak_from_this();
    pingTimer_ = timers_->after(*queue_, kPingInterval, [weakSelf] {
        if (auto self = weakSelf.lock()) {
            self->ping();
        }
    });
}

void PenChannel::ping() {
    if (phase_ == Phase::closed || phase_ == Phase::stopping) {
        return;
    }
    if (probe_) {
        post(onLatency, LinkLatency::timedOut());
    }
    probe_ = Uuid::random();
    probeSentAt_ = timers_->nowNanoseconds();
    auto payload = payloadOf(SessionPayload::Kind::ping);
    payload.probe = probe_;
    sendPayload(std::move(payload));
    armPing();
}

}  // namespace quillory
