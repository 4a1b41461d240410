#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/link/channel_termination.h"
#include "core/link/device_trust_store.h"
#include "core/link/session_crypto.h"
#include "platform/dispatch/sequence_checker.h"
#include "protocol/remembered_device.h"
#include "protocol/session_hello.h"
#include "protocol/session_packet.h"
#include "protocol/session_payload.h"
#include "protocol/uuid.h"

namespace quillory {

// The commit-then-reveal handshake and the trust phase of one channel, up to ready, without
// any I/O: it is fed the peer's packets and trust records and answers with the steps the
// channel takes, in order: what to send, what to report, which timer to arm and how it ends.
// Belongs to the channel's transport queue.
class ChannelHandshake {
  public:
    using Cause = ChannelTermination::Cause;

    enum class Phase {
        idle,
        awaitCommit,
        awaitHello,
        awaitTrust,
        confirming,
        awaitSaved,
        ready,
        stopping,
        closed,
    };

    struct Settings {
        SessionRole role = SessionRole::mac;
        std::string name;  // already cleaned
        std::shared_ptr<DeviceTrustStore> store;
        Uuid intent;
        std::optional<std::string> expectedPeer;
        bool allowPairing = true;
        // Fixed secrets for tests.
        std::optional<SecretBytes> ephemeralPrivateKey;
        std::optional<Bytes> nonce;
    };

    // The steps, each applied by the channel in the order given.
    struct SendLine {  // an unsealed handshake line
        SessionPacket::Kind kind;
        Bytes data;
    };
    struct SendSealed {  // a sealed control record
        SessionPayload::Kind kind;
    };
    struct UseKeys {  // seal and open from now on
        session_crypto::Keys keys;
    };
    struct PeerFound {
        RememberedDevice peer;
        Uuid intent;
    };
    struct ShowCode {
        std::string code;
        std::string peerName;
    };
    struct ApprovalChanged {
        bool local;
        bool remote;
    };
    struct Ready {};
    struct ArmDeadline {
        double seconds;
    };
    struct StartHeartbeat {};
    // "stop" went out: stop pinging, close once the stop delay has passed (see decided()).
    struct BeginStopping {};
    // Ends the link with the cause's own end, unless a stop already decided it.
    struct Fail {
        Cause cause;
    };
    // Ends the link as given.
    struct Finish {
        ConnectionEnd end;
        Cause cause;
    };
    using Action = std::variant<SendLine, SendSealed, UseKeys, PeerFound, ShowCode, ApprovalChanged,
                                Ready, ArmDeadline, StartHeartbeat, BeginStopping, Fail, Finish>;
    struct Step {
        std::vector<Action> actions;
        bool accepted = true;  // the answer to approve() and stop()
    };

    // How a stop decided the link ends, whatever the peer does meanwhile.
    struct Decided {
        ConnectionEnd end;
        Cause cause;
    };

    static constexpr double handshakeDeadline = 15.0;
    static constexpr double pairingDeadline = 120.0;

    explicit ChannelHandshake(Settings settings);

    // Creates this session's secrets and sends the commit.
    Step start();
    // A commit or a hello from the peer; sealed records go through receiveTrust().
    Step receive(const SessionPacket& packet);
    // Whether a sealed record of this kind may arrive now.
    bool accepts(SessionPayload::Kind kind) const;
    // A trust record (known, unknown, approve, saved, stop) that accepts() let through.
    Step receiveTrust(SessionPayload::Kind kind);
    // The local user confirmed the code.
    Step approve();
    // The local user stopped the link.
    Step stop();
    // The channel closed; nothing more happens.
    void close() {
        QUILLORY_CHECK_SEQUENCE(sequence_);
        phase_ = Phase::closed;
    }

    Phase phase() const { return phase_; }
    const std::optional<Decided>& decided() const { return decided_; }
    SessionRole role() const { return settings_.role; }

  private:
    Step receiveCommit(const SessionPacket& packet);
    Step receiveHello(const SessionPacket& packet);
    void receivedApprove(Step& step);
    void save(Step& step);
    void beginStopping(Step& step, Cause cause, ConnectionEnd end);

    const Settings settings_;
    SequenceChecker sequence_;
    Phase phase_ = Phase::idle;
    std::optional<Decided> decided_;
    std::optional<crypto::X25519PrivateKey> ephemeral_;
    Bytes nonce_;
    crypto::Sha256Digest ownCommit_{};
    crypto::Sha256Digest peerCommit_{};
    std::string code_;
    std::optional<RememberedDevice> peer_;
    std::optional<Uuid> peerIntent_;
    bool localKnown_ = false;
    bool remoteKnown_ = false;
    bool localApproved_ = false;
    bool remoteApproved_ = false;
};

}  // namespace quillory
