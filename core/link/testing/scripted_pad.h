#pragma once

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include "core/link/session_crypto.h"
#include "protocol/json_codec.h"
#include "protocol/packet_decoder.h"
#include "protocol/session_hello.h"
#include "protocol/session_packet.h"
#include "protocol/session_payload.h"

namespace quillory::testing {

// Reads and writes raw lines on one end of a socket, as a peer that plays by any rules. A
// signal that interrupts a call (a fuzzer's timer, a profiler) is no failure: the call goes on.
class RawEnd {
  public:
    explicit RawEnd(int fd, std::chrono::milliseconds patience = std::chrono::seconds(10))
        : fd_(fd), patience_(patience) {}
    ~RawEnd() { ::close(fd_); }
    RawEnd(const RawEnd&) = delete;
    RawEnd& operator=(const RawEnd&) = delete;

    bool write(std::string_view bytes) {
        while (!bytes.empty()) {
            const auto count = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                failure_ = std::string("send: ") + std::strerror(errno);
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(count));
        }
        return true;
    }

    // The next line without its 0x0A; nothing at end of stream or after the patience ran out.
    std::optional<std::string> readLine() {
        auto end = buffer_.find('\n');
        for (; end == std::string::npos; end = buffer_.find('\n')) {
            if (!fill()) {
                return std::nullopt;
            }
        }
        auto line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
    }

    // True once the other end has closed (all it sent before is drained).
    bool waitForClose() {
        while (fill()) {
        }
        return closed_;
    }
    bool closed() const { return closed_; }
    // Why the last read or write came back empty.
    const std::string& failure() const { return failure_; }

  private:
    // One chunk more; false at end of stream, on an error or after the patience ran out.
    bool fill() {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + patience_;
        pollfd descriptor{fd_, POLLIN, 0};
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            const int ready =
                ::poll(&descriptor, 1, static_cast<int>(std::max<long>(0, left.count())));
            if (ready == 1) {
                break;
            }
            if (ready == 0) {
                failure_ = "nothing to read for " + std::to_string(patience_.count()) + " ms";
                return false;
            }
            if (errno != EINTR) {
                failure_ = std::string("poll: ") + std::strerror(errno);
                return false;
            }
        }
        char chunk[65536];
        auto count = ::read(fd_, chunk, sizeof chunk);
        while (count < 0 && errno == EINTR) {
            count = ::read(fd_, chunk, sizeof chunk);
        }
        closed_ = count == 0 || (count < 0 && errno == ECONNRESET);
        if (count > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(count));
            return true;
        }
        failure_ = closed_ ? "end of stream" : std::string("read: ") + std::strerror(errno);
        return false;
    }

    int fd_;
    std::chrono::milliseconds patience_;
    std::string buffer_;
    std::string failure_;
    bool closed_ = false;
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
    explicit ScriptedPad(int fd, std::chrono::milliseconds patience = std::chrono::seconds(10))
        : raw(fd, patience) {}

    // The host's next packet, when it is of this kind.
    std::optional<SessionPacket> read(SessionPacket::Kind kind) {
        const auto line = raw.readLine();
        auto packet = line ? packetOf(*line) : std::nullopt;
        return packet && packet->kind == kind ? packet : std::nullopt;
    }

    // Reads the host's commit and answers with ours.
    bool exchangeCommits() {
        const auto packet = read(SessionPacket::Kind::commit);
        if (!packet) {
            return false;
        }
        macCommit = packet->data;
        const auto digest = crypto::sha256(
            session_crypto::helloBody(session_crypto::Side::pad, identity.publicKey(),
                                      ephemeralPublic(), nonce, intent, name));
        ownCommit.assign(digest.begin(), digest.end());
        return raw.write(lineOf(SessionPacket::Kind::commit, ownCommit));
    }

    Bytes ephemeralPublic() const {
        return ephemeralOverride
                   ? *ephemeralOverride
                   : Bytes(ephemeral.publicKey().begin(), ephemeral.publicKey().end());
    }

    SessionHello hello() const {
        const auto signature = identity.sign(session_crypto::signedMessage(ownCommit, macCommit));
        return {SessionRole::pad,
                name,
                Bytes(identity.publicKey().begin(), identity.publicKey().end()),
                ephemeralPublic(),
                nonce,
                intent,
                Bytes(signature.begin(), signature.end())};
    }

    bool sendHello(const SessionHello& hello) {
        return raw.write(lineOf(SessionPacket::Kind::hello, asBytes(dumpJSON(hello.toJSON()))));
    }

    // Reads the host's hello and derives the keys.
    bool readHello() {
        const auto packet = read(SessionPacket::Kind::hello);
        const auto json =
            packet ? parseJSON(std::string_view(reinterpret_cast<const char*>(packet->data.data()),
                                                packet->data.size()))
                   : std::nullopt;
        const auto macHello = json ? SessionHello::fromJSON(*json) : std::nullopt;
        const auto shared = macHello ? ephemeral.sharedSecret(macHello->ephemeral) : std::nullopt;
        const auto keys = shared ? session_crypto::deriveKeys(session_crypto::Side::pad,
                                                              shared->view(), macCommit, ownCommit)
                                 : std::nullopt;
        if (!keys) {
            return false;
        }
        sealer = session_crypto::RecordSealer(keys->sendKey, keys->sendIV);
        opener = session_crypto::RecordOpener(keys->receiveKey, keys->receiveIV);
        return true;
    }

    bool handshake() { return exchangeCommits() && sendHello(hello()) && readHello(); }

    // The trust phase of an unknown tablet whose user confirms the code; `hostConfirms` has the
    // host's user confirm it too.
    template <typename Confirm>
    bool pair(Confirm hostConfirms) {
        using Kind = SessionPayload::Kind;
        return handshake() && expect(Kind::unknown) && send(Kind::unknown) && hostConfirms() &&
               expect(Kind::approve) && send(Kind::approve) && expect(Kind::saved) &&
               send(Kind::saved);
    }

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
        const auto packet = read(SessionPacket::Kind::sealed);
        const auto plaintext = packet ? opener.open(packet->data) : std::nullopt;
        return plaintext ? SessionPayload::decode(std::string_view(
                               reinterpret_cast<const char*>(plaintext->data()), plaintext->size()))
                         : std::nullopt;
    }
    // True when the host's next payload is of this kind.
    bool expect(SessionPayload::Kind kind) {
        const auto payload = receive();
        return payload && payload->kind == kind;
    }
    // The host's next payload of this kind, skipping others.
    std::optional<SessionPayload> receiveUntil(SessionPayload::Kind kind) {
        auto payload = receive();
        while (payload && payload->kind != kind) {
            payload = receive();
        }
        return payload;
    }

    RawEnd raw;
    crypto::Ed25519SigningKey identity = *crypto::Ed25519SigningKey::fromSeed(Bytes(32, 0x02));
    crypto::X25519PrivateKey ephemeral = crypto::X25519PrivateKey::generate();
    Bytes nonce = crypto::randomBytes(32);
    Uuid intent = Uuid::random();
    std::string name = "Scripted iPad";
    std::optional<Bytes> ephemeralOverride;
    Bytes macCommit;
    Bytes ownCommit;
    session_crypto::RecordSealer sealer;
    session_crypto::RecordOpener opener;
};

}  // namespace quillory::testing
