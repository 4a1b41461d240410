#include "core/link/channel_handshake.h"

#include <algorithm>

#include "protocol/json_codec.h"

namespace quillory {

namespace {

session_crypto::Side sideOf(SessionRole role) {
    return role == SessionRole::mac ? session_crypto::Side::mac : session_crypto::Side::pad;
}

}  // namespace

ChannelHandshake::ChannelHandshake(Settings settings) : settings_(std::move(settings)) {}

ChannelHandshake::Step ChannelHandshake::start() {
    QUILLORY_CHECK_SEQUENCE(sequence_);
    Step step;
    if (phase_ != Phase::idle) {
        return step;
    }
    phase_ = Phase::awaitCommit;
    ephemeral_ = settings_.ephemeralPrivateKey
                     ? crypto::X25519PrivateKey::fromRaw(settings_.ephemeralPrivateKey->view())
                     : std::nullopt;
    if (!ephemeral_) {
        ephemeral_ = crypto::X25519PrivateKey::generate();
    }
    nonce_ = settings_.nonce && settings_.nonce->size() == 32 ? *settings_.nonce
                                                              : crypto::randomBytes(32);
    const auto body = session_crypto::helloBody(
        sideOf(settings_.role), settings_.store->identityPublicKey(), ephemeral_->publicKey(),
        nonce_, settings_.intent, settings_.name);
    ownCommit_ = crypto::sha256(body);
    step.actions.emplace_back(ArmDeadline{handshakeDeadline});
    step.actions.emplace_back(
        SendLine{SessionPacket::Kind::commit, Bytes(ownCommit_.begin(), ownCommit_.end())});
    return step;
}

ChannelHandshake::Step ChannelHandshake::receive(const SessionPacket& packet) {
    QUILLORY_CHECK_SEQUENCE(sequence_);
    switch (packet.kind) {
        case SessionPacket::Kind::commit:
            return receiveCommit(packet);
        case SessionPacket::Kind::hello:
            return receiveHello(packet);
        case SessionPacket::Kind::sealed:
            break;
    }
    return {{Fail{Cause::invalidFrame}}};
}

ChannelHandshake::Step ChannelHandshake::receiveCommit(const SessionPacket& packet) {
    if (phase_ != Phase::awaitCommit || packet.data.size() != ownCommit_.size()) {
        return {{Fail{Cause::invalidFrame}}};
    }
    std::copy(packet.data.begin(), packet.data.end(), peerCommit_.begin());
    SessionHello hello;
    hello.role = settings_.role;
    hello.name = settings_.name;
    const auto identity = settings_.store->identityPublicKey();
    hello.identity.assign(identity.begin(), identity.end());
    hello.ephemeral.assign(ephemeral_->publicKey().begin(), ephemeral_->publicKey().end());
    hello.nonce = nonce_;
    hello.intent = settings_.intent;
    const auto signature =
        settings_.store->sign(session_crypto::signedMessage(ownCommit_, peerCommit_));
    hello.signature.assign(signature.begin(), signature.end());
    phase_ = Phase::awaitHello;
    const auto json = dumpJSON(hello.toJSON());
    return {{SendLine{SessionPacket::Kind::hello, Bytes(json.begin(), json.end())}}};
}

ChannelHandshake::Step ChannelHandshake::receiveHello(const SessionPacket& packet) {
    if (phase_ != Phase::awaitHello) {
        return {{Fail{Cause::invalidFrame}}};
    }
    const Step rejected{{Fail{Cause::handshakeRejected}}};
    const std::string_view text(reinterpret_cast<const char*>(packet.data.data()),
                                packet.data.size());
    const auto json = parseJSON(text);
    const auto hello = json ? SessionHello::fromJSON(*json) : std::nullopt;
    if (!hello || !hello->isValid(settings_.role)) {
        return rejected;
    }
    const auto role = settings_.role;
    const auto peerRole = role == SessionRole::mac ? SessionRole::pad : SessionRole::mac;
    const auto body = session_crypto::helloBody(sideOf(peerRole), hello->identity, hello->ephemeral,
                                                hello->nonce, hello->intent, hello->name);
    const auto ownIdentity = settings_.store->identityPublicKey();
    const bool reflected = std::equal(hello->identity.begin(), hello->identity.end(),
                                      ownIdentity.begin(), ownIdentity.end());
    if (crypto::sha256(body) != peerCommit_ || reflected ||
        !crypto::ed25519Verify(hello->identity,
                               session_crypto::signedMessage(peerCommit_, ownCommit_),
                               hello->signature)) {
        return rejected;
    }
    const auto shared = ephemeral_->sharedSecret(hello->ephemeral);
    if (!shared) {
        return rejected;
    }
    RememberedDevice peer{hello->identity, hello->name};
    if (role == SessionRole::pad && settings_.expectedPeer &&
        peer.id() != *settings_.expectedPeer) {
        return {{Fail{Cause::identityMismatch}}};
    }
    const auto& macCommit = role == SessionRole::mac ? ownCommit_ : peerCommit_;
    const auto& padCommit = role == SessionRole::mac ? peerCommit_ : ownCommit_;
    auto keys = session_crypto::deriveKeys(sideOf(role), shared->view(), macCommit, padCommit);
    if (!keys) {
        return rejected;
    }
    code_ = keys->code;
    peer_ = peer;
    peerIntent_ = hello->intent;
    phase_ = Phase::awaitTrust;
    Step step;
    step.actions.emplace_back(UseKeys{std::move(*keys)});
    step.actions.emplace_back(PeerFound{peer, hello->intent});
    localKnown_ = settings_.store->device(peer.id()).has_value();
    step.actions.emplace_back(StartHeartbeat{});
    if (role == SessionRole::mac && localKnown_ &&
        settings_.store->isStopped(peer.id(), hello->intent)) {
        beginStopping(step, Cause::intentStopped, ChannelTermination::endFor(Cause::intentStopped));
        return step;
    }
    step.actions.emplace_back(
        SendSealed{localKnown_ ? SessionPayload::Kind::known : SessionPayload::Kind::unknown});
    return step;
}

bool ChannelHandshake::accepts(SessionPayload::Kind kind) const {
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
                    return settings_.role == SessionRole::mac;
                case Kind::desktop:
                    return settings_.role == SessionRole::pad;
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

ChannelHandshake::Step ChannelHandshake::receiveTrust(SessionPayload::Kind kind) {
    QUILLORY_CHECK_SEQUENCE(sequence_);
    using Kind = SessionPayload::Kind;
    Step step;
    switch (kind) {
        case Kind::stop:
            step.actions.emplace_back(
                Finish{ChannelTermination::endFor(Cause::peerStopped), Cause::peerStopped});
            break;
        case Kind::known:
        case Kind::unknown: {
            remoteKnown_ = kind == Kind::known;
            const bool needsCode = !(localKnown_ && remoteKnown_);
            if (needsCode && !settings_.allowPairing) {
                beginStopping(step, Cause::pairingNotAllowed,
                              ChannelTermination::endFor(Cause::pairingNotAllowed));
            } else if (needsCode) {
                phase_ = Phase::confirming;
                step.actions.emplace_back(ArmDeadline{pairingDeadline});
                step.actions.emplace_back(ShowCode{code_, peer_->name});
            } else {
                save(step);
            }
            break;
        }
        case Kind::approve:
            receivedApprove(step);
            break;
        case Kind::saved:
            phase_ = Phase::ready;
            step.actions.emplace_back(Ready{});
            break;
        default:
            break;
    }
    return step;
}

ChannelHandshake::Step ChannelHandshake::approve() {
    QUILLORY_CHECK_SEQUENCE(sequence_);
    Step step;
    switch (phase_) {
        case Phase::confirming:
            if (!localApproved_) {
                localApproved_ = true;
                step.actions.emplace_back(SendSealed{SessionPayload::Kind::approve});
                step.actions.emplace_back(ApprovalChanged{true, remoteApproved_});
                if (remoteApproved_) {
                    save(step);
                }
            }
            break;
        case Phase::awaitSaved:
        case Phase::ready:
            break;
        default:
            step.accepted = false;
            break;
    }
    return step;
}

void ChannelHandshake::receivedApprove(Step& step) {
    remoteApproved_ = true;
    step.actions.emplace_back(ApprovalChanged{localApproved_, true});
    if (localApproved_) {
        save(step);
    }
}

void ChannelHandshake::save(Step& step) {
    if (const auto error = settings_.store->remember(*peer_)) {
        channelLog().error("The trusted device could not be saved: %s", describe(*error));
        step.actions.emplace_back(Fail{Cause::storageFailure});
        return;
    }
    phase_ = Phase::awaitSaved;
    step.actions.emplace_back(SendSealed{SessionPayload::Kind::saved});
}

ChannelHandshake::Step ChannelHandshake::stop() {
    QUILLORY_CHECK_SEQUENCE(sequence_);
    Step step;
    switch (phase_) {
        case Phase::stopping:
        case Phase::closed:
            return step;
        case Phase::idle:
        case Phase::awaitCommit:
        case Phase::awaitHello:
            step.actions.emplace_back(
                Finish{ConnectionEnd(ConnectionEnd::Case::stopped), Cause::application});
            return step;
        default:
            break;
    }
    if (settings_.store->device(peer_->id())) {
        if (const auto error = settings_.store->recordStopped(peer_->id(), *peerIntent_)) {
            channelLog().error("The stop could not be recorded: %s", describe(*error));
            step.actions.emplace_back(Fail{Cause::storageFailure});
            step.accepted = false;
            return step;
        }
    }
    beginStopping(step, Cause::application, ConnectionEnd(ConnectionEnd::Case::stopped));
    return step;
}

void ChannelHandshake::beginStopping(Step& step, Cause cause, ConnectionEnd end) {
    step.actions.emplace_back(SendSealed{SessionPayload::Kind::stop});
    step.actions.emplace_back(BeginStopping{});
    phase_ = Phase::stopping;
    decided_ = Decided{std::move(end), cause};
}

}  // namespace quillory
