#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/link/pen_channel.h"
#include "core/link/session_crypto.h"
#include "core/link/tests/memory_secret.h"
#include "platform/dispatch/main_queue.h"
#include "protocol/base64.h"
#include "protocol/packet_decoder.h"

namespace quillory::testing {

inline Bytes filled(std::size_t count, std::uint8_t value) {
    return Bytes(count, value);
}

// A trust store in memory; with a seed, its identity is that seed's key.
inline std::shared_ptr<DeviceTrustStore> memoryStore(std::optional<Bytes> seed = std::nullopt) {
    auto item = std::make_shared<MemorySecret>();
    if (seed) {
        const auto text =
            "{\"identity\":\"" + base64Encode(*seed) + "\",\"peers\":[],\"stopped\":{}}";
        item->value = Bytes(text.begin(), text.end());
    }
    return DeviceTrustStore::open(item).store;
}

inline std::pair<int, int> socketPair() {
    int fds[2] = {-1, -1};
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    return {fds[0], fds[1]};
}

// What one channel reported, in order. Main-queue callbacks run on the test thread; the input
// receivers run on the transport queue and are counted atomically.
struct ChannelEvents {
    std::vector<std::string> log;
    std::optional<std::string> code;
    std::optional<ConnectionEnd> end;
    int endedCount = 0;
    int readyCount = 0;
    std::vector<LinkLatency> latencies;
    std::vector<std::pair<RememberedDevice, Uuid>> peers;
    std::vector<DisplayGeometry> displays;
    std::vector<StudioSignal> studio;
    std::vector<ControlsSignal> controls;
    std::vector<DesktopContext> contexts;

    std::atomic<int> samplesReceived{0};
    std::atomic<int> actionsReceived{0};
    std::atomic<int> cancelledReceived{0};
    std::atomic<int> endedReceived{0};

    bool has(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
};

inline void observe(PenChannel& channel, const std::shared_ptr<ChannelEvents>& events,
                    bool receivers = true) {
    channel.onPairing = [events](const std::string& code, const std::string& name) {
        events->code = code;
        events->log.push_back("pairing " + name);
    };
    channel.onReady = [events] {
        ++events->readyCount;
        events->log.push_back("ready");
    };
    channel.onApprovalChange = [events](bool local, bool remote) {
        events->log.push_back(std::string("approval ") + (local ? "1" : "0") +
                              (remote ? "1" : "0"));
    };
    channel.onLatency = [events](LinkLatency latency) { events->latencies.push_back(latency); };
    channel.onEnded = [events](ConnectionEnd end) {
        ++events->endedCount;
        events->end = end;
        events->log.push_back("ended " + end.caseName());
    };
    channel.onPeer = [events](RememberedDevice device, Uuid intent) {
        events->peers.emplace_back(device, intent);
        events->log.push_back("peer " + device.name);
    };
    channel.onDisplay = [events](DisplayGeometry display) { events->displays.push_back(display); };
    channel.onStudio = [events](StudioSignal signal) { events->studio.push_back(signal); };
    channel.onControls = [events](ControlsSignal signal) { events->controls.push_back(signal); };
    channel.onDesktopContext = [events](DesktopContext context) {
        events->contexts.push_back(context);
    };
    if (receivers) {
        channel.setInputReceivers(
            [events](const std::vector<PenSample>& samples) {
                events->samplesReceived += static_cast<int>(samples.size());
            },
            [events](const DesktopAction&) { ++events->actionsReceived; },
            [events] { ++events->cancelledReceived; }, [events] { ++events->endedReceived; });
    }
}

// Installs a manual main queue with a fake clock for each test.
class ChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock = std::make_shared<FakeClock>();
        main = std::make_shared<ManualMainExecutor>(clock);
        MainQueue::install(main);
        timers = std::make_shared<FakeTransportTimers>(clock);
    }
    void TearDown() override {
        for (auto& channel : channels) {
            channel->close(ConnectionEnd(ConnectionEnd::Case::stopped),
                           PenChannel::Cause::application);
        }
        for (auto& events : allEvents) {
            runUntil([&] { return events->endedCount > 0; });
        }
        channels.clear();
        main->runUntilIdle();
    }

    // Runs main-queue work as it arrives until the condition holds; false after 10 s of waiting.
    bool runUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            main->runUntilIdle();
            if (condition()) {
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            main->waitForWork(0.05);
        }
    }

    struct Endpoint {
        std::shared_ptr<PenChannel> channel;
        std::shared_ptr<ChannelEvents> events;
    };

    Endpoint endpoint(int fd, SessionRole role, std::shared_ptr<DeviceTrustStore> store,
                      Uuid intent, std::optional<std::string> expectedPeer = std::nullopt,
                      bool allowPairing = true, PenChannel::Options options = {},
                      std::string name = "") {
        if (!options.timers) {
            options.timers = timers;
        }
        if (name.empty()) {
            name = role == SessionRole::mac ? "Test Mac" : "Test iPad";
        }
        auto channel =
            PenChannel::create(StreamConnection(fd), role, name, std::move(store), intent,
                               std::move(expectedPeer), allowPairing, std::move(options));
        auto events = std::make_shared<ChannelEvents>();
        observe(*channel, events, role == SessionRole::mac);
        channels.push_back(channel);
        allEvents.push_back(events);
        return {channel, events};
    }

    std::shared_ptr<FakeClock> clock;
    std::shared_ptr<ManualMainExecutor> main;
    std::shared_ptr<FakeTransportTimers> timers;
    std::vector<std::shared_ptr<PenChannel>> channels;
    std::vector<std::shared_ptr<ChannelEvents>> allEvents;
};

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
