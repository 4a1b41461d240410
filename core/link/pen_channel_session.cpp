#include <algorithm>

#include "core/link/pen_channel.h"
#include "protocol/json_codec.h"

// The secured session on top of the byte stream: the commit-then-reveal handshake, sealed
// records, and the trust phase up to ready.
namespace quillory {

// MARK: handshake

void PenChannel::handleCommit(const SessionPacket& packet) {
    if (phase_ != Phase::awaitCommit || packet.data.size() != ownCommit_.size()) {
        fail(Cause::invalidFrame);
        return;
    }
    std::copy(packet.data.begin(), packet.data.end(), peerCommit_.begin());
    SessionHello hello;
    hello.role = role_;
    hello.name = name_;
    const auto identity = store_->identityPublicKey();
    hello.identity.assign(identity.begin(), identity.end());
    hello.ephemeral.assign(ephemeral_->publicKey().begin(), ephemeral_->publicKey().end());
    hello.nonce = nonce_;
    hello.intent = intent_;
    const auto signature = store_->sign(session_crypto::signedMessage(ownCommit_, peerCommit_));
    hello.signature.assign(signature.begin(), signature.end());
    phase_ = Phase::awaitHello;
    sendLine(SessionPacket::Kind::hello, asBytes(dumpJSON(hello.toJSON())));
}

void PenChannel::handleHello(const SessionPacket& packet) {
    if (phase_ != Phase::awaitHello) {
        fail(Cause::invalidFrame);
        return;
    }
    const std::string_view text(reinterpret_cast<const char*>(packet.data.data()),
                                packet.data.size());
    const auto json = parseJSON(text);
    const auto hello = json ? SessionHello::fromJSON(*json) : std::nullopt;
    if (!hello) {
        fail(Cause::handshakeRejected);
        return;
    }
    const auto peerRole = role_ == Role::mac ? Role::pad : Role::mac;
    if (!hello->isValid(role_)) {
        fail(Cause::handshakeRejected);
        return;
    }
    const auto body = session_crypto::helloBody(sideOf(peerRole), hello->identity, hello->ephemeral,
                                                hello->nonce, hello->intent, hello->name);
    const auto ownIdentity = store_->identityPublicKey();
    const bool reflected = std::equal(hello->identity.begin(), hello->identity.end(),
                                      ownIdentity.begin(), ownIdentity.end());
    if (crypto::sha256(body) != peerCommit_ || reflected ||
        !crypto::ed25519Verify(hello->identity,
                               session_crypto::signedMessage(peerCommit_, ownCommit_),
                               hello->signature)) {
        fail(Cause::handshakeRejected);
        return;
    }
    const auto shared = ephemeral_->sharedSecret(hello->ephemeral);
    if (!shared) {
        fail(Cause::handshakeRejected);
        return;
    }
    RememberedDevice peer{hello->identity, hello->name};
    if (role_ == Role::pad && expectedPeer_ && peer.id() != *expectedPeer_) {
        fail(Cause::identityMismatch);
        return;
    }
    const auto& macCommit = role_ == Role::mac ? ownCommit_ : peerCommit_;
    const auto& padCommit = role_ == Role::mac ? peerCommit_ : ownCommit_;
    keys_ = session_crypto::deriveKeys(sideOf(role_), shared->view(), macCommit, padCommit);
    if (!keys_) {
        fail(Cause::handshakeRejected);
        return;
    }
    sealer_ = session_crypto::RecordSealer(keys_->sendKey, keys_->sendIV);
    opener_ = session_crypto::RecordOpener(keys_->receiveKey, keys_->receiveIV);
    peer_ = peer;
    peerIntent_ = hello->intent;
    phase_ = Phase::awaitTrust;
    post(onPeer, peer, hello->intent);

    const auto known = store_->device(peer.id());
    localKnown_ = known.has_value();
    armHeartbeat();
    armPing();
    if (role_ == Role::mac && localKnown_ && store_->isStopped(peer.id(), hello->intent)) {
        beginStopping(endFor(Cause::intentStopped), Cause::intentStopped);
        return;
    }
    sendPayload(
        payloadOf(localKnown_ ? SessionPayload::Kind::known : SessionPayload::Kind::unknown));
}

// MARK: sealed records

void PenChannel::handleSealed(const SessionPacket& packet) {
    if (!keys_) {
        fail(Cause::invalidFrame);
        return;
    }
    const auto sequence = opener_.next();
    const auto plaintext = opener_.open(packet.data);
    if (!plaintext) {
        fail(Cause::decryptionFailed);
        return;
    }
    auto payload = SessionPayload::decode(
        std::string_view(reinterpret_cast<const char*>(plaintext->data()), plaintext->size()));
    if (payload && payload->counter != sequence) {
        fail(Cause::decryptionFailed);
        return;
    }
    if (!payload) {
        fail(Cause::invalidPayload);
        return;
    }
    handlePayload(std::move(*payload));
}

bool PenChannel::acceptsKind(SessionPayload::Kind kind) const {
    using Kind = SessionPayload::Kind;
    const bool always = kind == Kind::stop;
    const bool liveness = kind == Kind::ping || kind == Kind::pong;
    switch (phase_) {
        case Phase::awaitTrust:
            return always || kind == Kind::known || kind == Kind::unknown;
        case Phase::confirming:
            return always || liveness || (kind == Kind::approve && !remoteApproved_);
        case Phase::awaitSaved:
            return always || liveness || kind == Kind::saved;
        case Phase::ready:
            switch (kind) {
                case Kind::input:
                case Kind::action:
                    return role_ == Role::mac;
                case Kind::desktop:
                    return role_ == Role::pad;
                case Kind::controls:
                case Kind::studio:
                case Kind::ping:
                case Kind::pong:
                case Kind::stop:
                    return true;
                default:
                    return false;
            }
        default:
            return false;
    }
}

void PenChannel::handlePayload(SessionPayload payload) {
    using Kind = SessionPayload::Kind;
    if (phase_ == Phase::stopping) {
        if (payload.kind == Kind::input && payload.samples) {
            discardedSamples_ += payload.samples->size();
        }
        return;
    }
    if (!acceptsKind(payload.kind)) {
        fail(Cause::invalidPayload);
        return;
    }
    if (!payload.isValid()) {
        log().error("Dropped an invalid \"%s\" payload",
                    std::string(rawValue(payload.kind)).c_str());
        if (payload.kind == Kind::input || payload.kind == Kind::action) {
            if (payload.samples) {
                discardedSamples_ += payload.samples->size();
            }
            if (cancelledReceiver_) {
                cancelledReceiver_();
            }
        }
        return;
    }
    switch (payload.kind) {
        case Kind::input:
            deliverSamples(std::move(*payload.samples));
            return;
        case Kind::action:
            if (actionReceiver_) {
                actionReceiver_(*payload.action);
            }
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
            sendPayload(std::move(pong));
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
            handleTrust(payload.kind);
            return;
    }
}

void PenChannel::deliverSamples(std::vector<PenSample> samples) {
    if (samples.empty()) {
        if (cancelledReceiver_) {
            cancelledReceiver_();
        }
        return;
    }
    if (samplesReceiver_) {
        samplesReceiver_(samples);
    } else if (onSamples) {
        post(onSamples, std::move(samples));
    } else {
        discardedSamples_ += samples.size();
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
    if (!probe_ || *payload.probe != *probe_) {
        return;
    }
    probe_.reset();
    const double milliseconds = static_cast<double>(timers_->nowNanoseconds() - probeSentAt_) / 1e6;
    post(onLatency, LinkLatency::measured(milliseconds));
}

void PenChannel::handleTrust(SessionPayload::Kind kind) {
    using Kind = SessionPayload::Kind;
    switch (kind) {
        case Kind::stop:
            finish(endFor(Cause::peerStopped), Cause::peerStopped);
            return;
        case Kind::known:
        case Kind::unknown: {
            remoteKnown_ = kind == Kind::known;
            const bool needsCode = !(localKnown_ && remoteKnown_);
            if (needsCode && !allowPairing_) {
                beginStopping(endFor(Cause::pairingNotAllowed), Cause::pairingNotAllowed);
            } else if (needsCode) {
                phase_ = Phase::confirming;
                armHandshakeDeadline(kPairingDeadline);
                post(onPairing, keys_->code, peer_->name);
            } else {
                save();
            }
            return;
        }
        case Kind::approve:
            receivedApprove();
            return;
        case Kind::saved:
            becomeReady();
            return;
        default:
            return;
    }
}

// MARK: trust phase

bool PenChannel::approveNow() {
    switch (phase_) {
        case Phase::confirming:
            if (!localApproved_) {
                localApproved_ = true;
                sendPayload(payloadOf(SessionPayload::Kind::approve));
                post(onApprovalChange, true, remoteApproved_);
                if (remoteApproved_) {
                    save();
                }
            }
            return true;
        case Phase::awaitSaved:
        case Phase::ready:
            return true;
        default:
            return false;
    }
}

void PenChannel::receivedApprove() {
    remoteApproved_ = true;
    post(onApprovalChange, localApproved_, true);
    if (localApproved_) {
        save();
    }
}

void PenChannel::save() {
    if (const auto error = store_->remember(*peer_)) {
        log().error("The trusted device could not be saved: %s", describe(*error));
        fail(Cause::storageFailure);
        return;
    }
    saved_ = true;
    phase_ = Phase::awaitSaved;
    sendPayload(payloadOf(SessionPayload::Kind::saved));
}

void PenChannel::becomeReady() {
    handshakeDeadline_.cancel();
    phase_ = Phase::ready;
    post(onReady);
}

bool PenChannel::stopNow() {
    switch (phase_) {
        case Phase::stopping:
        case Phase::closed:
            return true;
        case Phase::idle:
        case Phase::awaitCommit:
        case Phase::awaitHello:
            finish(ConnectionEnd(ConnectionEnd::Case::stopped), Cause::application);
            return true;
        default:
            break;
    }
    if (store_->device(peer_->id())) {
        if (const auto error = store_->recordStopped(peer_->id(), *peerIntent_)) {
            log().error("The stop could not be recorded: %s", describe(*error));
            fail(Cause::storageFailure);
            return false;
        }
    }
    beginStopping(ConnectionEnd(ConnectionEnd::Case::stopped), Cause::application);
    return true;
}

void PenChannel::beginStopping(ConnectionEnd end, Cause cause) {
    sendPayload(payloadOf(SessionPayload::Kind::stop));
    phase_ = Phase::stopping;
    pingTimer_.cancel();
    decided_ = Decided{std::move(end), cause};
    std::weak_ptr<PenChannel> weakSelf = weak_from_this();
    stopTimer_ = timers_->after(*queue_, kStopDelay, [weakSelf] {
        if (auto self = weakSelf.lock(); self && self->decided_) {
            self->finish(self->decided_->end, self->decided_->cause);
        }
    });
}

}  // namespace quillory
