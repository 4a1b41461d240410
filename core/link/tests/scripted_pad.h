#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <utility>

#include "core/link/session_crypto.h"
#include "protocol/json_codec.h"
#include "protocol/packet_decoder.h"
#include "protocol/session_hello.h"
#include "protocol/session_packet.h"
#include "protocol/session_payload.h"

namespace quillory::testing {

inline Bytes filled(std::size_t count, std::uint8_t value) {
    return Bytes(count, value);
}

// Reads and writes raw lines on one end of a socket, as a peer that plays by any rules.
class RawEnd {
  public:
    explicit RawEnd(int fd) : fd_(fd) {}
    ~RawEnd() { closeNow(); }
    RawEnd(const RawEnd&) = delete;
    RawEnd& operator=(const RawEnd&) = delete;

    int fd() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void closeNow() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    bool write(std::string_view bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const auto count = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (count <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(count);
        }
        return true;
    }

    // The next line without its 0x0A; nothing at end of stream or after 10 s.
    std::optional<std::string> readLine() {
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                auto line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            pollfd descriptor{fd_, POLLIN, 0};
            if (::poll(&descriptor, 1, 10'000) <= 0) {
                return std::nullopt;
            }
            char chunk[65536];
            const auto count = ::read(fd_, chunk, sizeof chunk);
            if (count <= 0) {
                return std::nullopt;
            }
            buffer_.append(chunk, static_cast<std::size_t>(count));
        }
    }

    // True once the other end has closed (all it sent before is drained).
    bool waitForClose() {
        while (readLine()) {
        }
        pollfd descriptor{fd_, POLLIN, 0};
        if (::poll(&descriptor, 1, 10'000) <= 0) {
            return false;
        }
        char byte;
        return ::read(fd_, &byte, 1) == 0;
    }

  private:
    int fd_;
    std::string buffer_;
};

inline std::optional<SessionPacket> packetOf(const std::string& line) {
    ProtocolError error{};
    return PacketDecoder::decodeLine(line, error);
}

inline std::string lineOf(SessionPacket::Kind kind, ByteView data) {
    return SessionPacket{kind, Bytes(data.begin(), data.end())}.encodeLine();
}

// A tablet scripted step by step against a real host channel, using the link's own crypto.
class ScriptedPad {
  public:
    explicit ScriptedPad(int fd, Bytes seed = filled(32, 0x02))
        : raw(fd),
          identity(*crypto::Ed25519SigningKey::fromSeed(seed)),
          ephemeral(crypto::X25519PrivateKey::generate()),
          nonce(crypto::randomBytes(32)),
          intent(Uuid::random()) {}

    // Reads the host's commit and answers with ours.
    bool exchangeCommits() {
        const auto line = raw.readLine();
        const auto packet = line ? packetOf(*line) : std::nullopt;
        if (!packet || packet->kind != SessionPacket::Kind::commit) {
            return false;
        }
        macCommit = packet->data;
        const auto digest = crypto::sha256(body());
        ownCommit.assign(digest.begin(), digest.end());
        return raw.write(lineOf(SessionPacket::Kind::commit, ownCommit));
    }

    Bytes ephemeralPublic() const {
        return ephemeralOverride
                   ? *ephemeralOverride
                   : Bytes(ephemeral.publicKey().begin(), ephemeral.publicKey().end());
    }

    Bytes body() const {
        return session_crypto::helloBody(session_crypto::Side::pad, identity.publicKey(),
                                         ephemeralPublic(), nonce, intent, name);
    }

    SessionHello hello() const {
        SessionHello hello;
        hello.role = SessionRole::pad;
        hello.name = name;
        hello.identity.assign(identity.publicKey().begin(), identity.publicKey().end());
        hello.ephemeral = ephemeralPublic();
        hello.nonce = nonce;
        hello.intent = intent;
        const auto signature = identity.sign(session_crypto::signedMessage(ownCommit, macCommit));
        hello.signature.assign(signature.begin(), signature.end());
        return hello;
    }

    bool sendHello(const SessionHello& hello) {
        const auto text = dumpJSON(hello.toJSON());
        return raw.write(lineOf(SessionPacket::Kind::hello, asBytes(text)));
    }

    // Reads the host's hello and derives the keys.
    bool readHello() {
        const auto line = raw.readLine();
        const auto packet = line ? packetOf(*line) : std::nullopt;
        if (!packet || packet->kind != SessionPacket::Kind::hello) {
            return false;
        }
        const auto json = parseJSON(std::string_view(
            reinterpret_cast<const char*>(packet->data.data()), packet->data.size()));
        macHello = json ? SessionHello::fromJSON(*json) : std::nullopt;
        if (!macHello) {
            return false;
        }
        const auto shared = ephemeral.sharedSecret(macHello->ephemeral);
        keys = session_crypto::deriveKeys(session_crypto::Side::pad, shared->view(), macCommit,
                                          ownCommit);
        sealer = session_crypto::RecordSealer(keys->sendKey, keys->sendIV);
        opener = session_crypto::RecordOpener(keys->receiveKey, keys->receiveIV);
        return true;
    }

    bool handshake() { return exchangeCommits() && sendHello(hello()) && readHello(); }

    std::string sealedLine(std::string_view plaintext) {
        return lineOf(SessionPacket::Kind::sealed, sealer.seal(asBytes(plaintext)));
    }
    bool sendPayload(SessionPayload payload) {
        payload.counter = sealer.next();
        return raw.write(sealedLine(payload.encode()));
    }
    bool send(SessionPayload::Kind kind) {
        SessionPayload payload;
        payload.kind = kind;
        return sendPayload(payload);
    }

    // The host's next sealed payload.
    std::optional<SessionPayload> receive() {
        const auto line = raw.readLine();
        const auto packet = line ? packetOf(*line) : std::nullopt;
        if (!packet || packet->kind != SessionPacket::Kind::sealed) {
            return std::nullopt;
        }
        const auto plaintext = opener.open(packet->data);
        if (!plaintext) {
            return std::nullopt;
        }
        return SessionPayload::decode(
            std::string_view(reinterpret_cast<const char*>(plaintext->data()), plaintext->size()));
    }

    RawEnd raw;
    crypto::Ed25519SigningKey identity;
    crypto::X25519PrivateKey ephemeral;
    Bytes nonce;
    Uuid intent;
    std::string name = "Scripted iPad";
    std::optional<Bytes> ephemeralOverride;
    Bytes macCommit;
    Bytes ownCommit;
    std::optional<SessionHello> macHello;
    std::optional<session_crypto::Keys> keys;
    session_crypto::RecordSealer sealer;
    session_crypto::RecordOpener opener;
};

}  // namespace quillory::testing
