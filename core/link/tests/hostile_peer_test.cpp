#include <gtest/gtest.h>
#include <sys/socket.h>

#include "core/link/pen_channel.h"
#include "core/link/tests/channel_test_support.h"

namespace quillory {
namespace {

using namespace quillory::testing;
using Cause = PenChannel::Cause;
using End = ConnectionEnd::Case;
using Kind = SessionPayload::Kind;

// A host channel facing a scripted tablet that breaks the rules.
class HostilePeer : public ChannelTest {
  protected:
    void SetUp() override {
        ChannelTest::SetUp();
        std::tie(macFd, padFd) = socketPair();
        pad = std::make_unique<ScriptedPad>(padFd);
        store = memoryStore(Bytes(32, 0x01));
    }
    void TearDown() override {
        mac = {};
        ChannelTest::TearDown();
    }

    void startHost() {
        mac = endpoint(macFd, SessionRole::mac, store, Uuid::random());
        mac.channel->start();
    }

    // Handshake, then both confirm the code: the host is ready for input.
    void reachReady() {
        startHost();
        ASSERT_TRUE(pad->pair([&] {
            return runUntil([&] { return mac.events->code.has_value(); }) && mac.channel->approve();
        }));
        ASSERT_TRUE(runUntil([&] { return mac.events->readyCount == 1; }));
    }

    // Expects the host to close exactly once with this end and cause, having delivered nothing.
    void expectClosed(End end, Cause cause, int ready = 0) {
        ASSERT_TRUE(runUntil([&] { return mac.events->endedCount > 0; }));
        main->runUntilIdle();
        EXPECT_EQ(mac.events->end->kind(), end);
        EXPECT_EQ(mac.channel->closedCause(), cause);
        EXPECT_EQ(mac.events->endedCount, 1);
        EXPECT_EQ(mac.events->endedReceived, 1);
        EXPECT_EQ(mac.events->readyCount, ready);
        EXPECT_EQ(mac.events->samplesReceived + mac.events->actionsReceived +
                      mac.events->cancelledReceived,
                  0);
        EXPECT_TRUE(pad->raw.waitForClose());
    }

    int macFd = -1;
    int padFd = -1;
    std::unique_ptr<ScriptedPad> pad;
    std::shared_ptr<DeviceTrustStore> store;
    Endpoint mac;
};

// One way of breaking the rules: the tablet's script from the start of the connection, and what
// the host must close with.
struct Violation {
    const char* name;
    std::function<bool(ScriptedPad&)> script;
    Cause cause;
    End end = End::verification;
    bool afterReady = false;
};

// Raw bytes once the host's commit arrived.
std::function<bool(ScriptedPad&)> bytes(std::string text) {
    return [text](ScriptedPad& pad) { return pad.raw.readLine() && pad.raw.write(text); };
}

// The commits, then a hello changed after the tablet committed to it.
std::function<bool(ScriptedPad&)> hello(std::function<void(ScriptedPad&, SessionHello&)> change) {
    return [change](ScriptedPad& pad) {
        if (!pad.exchangeCommits()) {
            return false;
        }
        auto hello = pad.hello();
        change(pad, hello);
        return pad.sendHello(hello);
    };
}

// An honest handshake by a tablet set up this way.
std::function<bool(ScriptedPad&)> handshakeAs(std::function<void(ScriptedPad&)> setUp) {
    return [setUp](ScriptedPad& pad) {
        setUp(pad);
        return pad.exchangeCommits() && pad.sendHello(pad.hello());
    };
}

// The handshake, then these lines.
std::function<bool(ScriptedPad&)> sealed(std::function<std::string(ScriptedPad&)> lines) {
    return [lines](ScriptedPad& pad) { return pad.handshake() && pad.raw.write(lines(pad)); };
}

std::string known(ScriptedPad& pad, std::uint64_t counter) {
    return pad.sealedLine(R"({"kind":"known","counter":)" + std::to_string(counter) + "}");
}

std::string withData(const std::string& line, const std::function<void(Bytes&)>& change) {
    auto packet = *packetOf(line.substr(0, line.size() - 1));
    change(packet.data);
    return packet.encodeLine();
}

TEST_F(HostilePeer, EveryViolationClosesTheLinkOnceAndDeliversNothing) {
    SessionPayload desktop;
    desktop.kind = Kind::desktop;
    desktop.desktop = editorContext();
    const std::vector<Violation> violations = {
        // Which lines the decoder refuses is its own business; here, how each refusal ends.
        {"not JSON", bytes("hello\n"), Cause::invalidFrame},
        {"old version",
         bytes(R"({"version":8,"kind":"commit","data":""})"
               "\n"),
         Cause::unsupportedVersion, End::incompatible},
        {"sealed before keys",
         bytes(R"({"version":9,"kind":"sealed","data":"AAAA"})"
               "\n"),
         Cause::invalidFrame},
        {"hello before commit",
         bytes(lineOf(SessionPacket::Kind::hello, asBytes(R"({"role":"pad"})"))),
         Cause::invalidFrame},
        {"short commit", bytes(lineOf(SessionPacket::Kind::commit, Bytes(31, 1))),
         Cause::invalidFrame},
        // No newline: the limit is enforced as the bytes arrive.
        {"over-long line", bytes(std::string(65'536, 'x')), Cause::frameSizeExceeded},
        {"second commit",
         [](ScriptedPad& pad) {
             return pad.exchangeCommits() &&
                    pad.raw.write(lineOf(SessionPacket::Kind::commit, pad.ownCommit));
         },
         Cause::invalidFrame},
        {"name changed after the commit",
         hello([](ScriptedPad&, SessionHello& hello) { hello.name = "Eve"; }),
         Cause::handshakeRejected},
        {"signature of another session", hello([](ScriptedPad& pad, SessionHello& hello) {
             const auto signature =
                 pad.identity.sign(session_crypto::signedMessage(Bytes(32, 9), pad.macCommit));
             hello.signature.assign(signature.begin(), signature.end());
         }),
         Cause::handshakeRejected},
        {"own role",
         hello([](ScriptedPad&, SessionHello& hello) { hello.role = SessionRole::mac; }),
         Cause::handshakeRejected},
        {"short identity",
         hello([](ScriptedPad&, SessionHello& hello) { hello.identity.pop_back(); }),
         Cause::handshakeRejected},
        {"host's own identity reflected", handshakeAs([](ScriptedPad& pad) {
             pad.identity = *crypto::Ed25519SigningKey::fromSeed(Bytes(32, 0x01));
         }),
         Cause::handshakeRejected},
        {"all-zero key",
         handshakeAs([](ScriptedPad& pad) { pad.ephemeralOverride = Bytes(32, 0); }),
         Cause::handshakeRejected},
        {"second hello",
         [](ScriptedPad& pad) { return pad.handshake() && pad.sendHello(pad.hello()); },
         Cause::invalidFrame},
        {"replayed", sealed([](ScriptedPad& pad) {
             const auto line = known(pad, 0);
             return line + line;
         }),
         Cause::decryptionFailed},
        {"reordered", sealed([](ScriptedPad& pad) {
             const auto first = known(pad, 0);
             return pad.sealedLine(R"({"kind":"ping","counter":1,"probe":")" +
                                   Uuid::random().text() + "\"}") +
                    first;
         }),
         Cause::decryptionFailed},
        {"lost", sealed([](ScriptedPad& pad) {
             known(pad, 0);  // sealed, never sent
             return known(pad, 1);
         }),
         Cause::decryptionFailed},
        {"truncated", sealed([](ScriptedPad& pad) {
             return withData(known(pad, 0), [](Bytes& data) { data.pop_back(); });
         }),
         Cause::decryptionFailed},
        {"bit flipped", sealed([](ScriptedPad& pad) {
             return withData(known(pad, 0), [](Bytes& data) { data[3] ^= 0x20; });
         }),
         Cause::decryptionFailed},
        {"counter mismatch", sealed([](ScriptedPad& pad) { return known(pad, 7); }),
         Cause::decryptionFailed},
        {"undecodable payload", sealed([](ScriptedPad& pad) { return pad.sealedLine("{}"); }),
         Cause::invalidPayload},
        {"saved before trust",
         sealed([](ScriptedPad& pad) { return pad.sealedLine(R"({"kind":"saved","counter":0})"); }),
         Cause::invalidPayload},
        {"input before ready", sealed([](ScriptedPad& pad) {
             return pad.sealedLine(R"({"kind":"input","counter":0,"samples":[]})");
         }),
         Cause::invalidPayload},
        {"desktop from the tablet", [&](ScriptedPad& pad) { return pad.sendPayload(desktop); },
         Cause::invalidPayload, End::verification, true},
        {"second approval", [](ScriptedPad& pad) { return pad.send(Kind::approve); },
         Cause::invalidPayload, End::verification, true},
    };
    for (const auto& violation : violations) {
        SCOPED_TRACE(violation.name);
        TearDown();
        SetUp();
        if (violation.afterReady) {
            reachReady();
        } else {
            startHost();
        }
        ASSERT_TRUE(violation.script(*pad));
        expectClosed(violation.end, violation.cause, violation.afterReady ? 1 : 0);
    }
}

TEST_F(HostilePeer, ContentFailingItsRulesIsDroppedAndLiftsThePen) {
    reachReady();
    SessionPayload input;
    input.kind = Kind::input;
    input.samples = {movedSample(2.0), movedSample(0.5)};
    ASSERT_TRUE(pad->sendPayload(input));
    input.samples = {movedSample(0.25)};
    ASSERT_TRUE(pad->sendPayload(input));
    ASSERT_TRUE(runUntil([&] { return mac.events->samplesReceived == 1; }));
    EXPECT_EQ(mac.events->cancelledReceived, 1);
    EXPECT_EQ(mac.events->endedCount, 0);
}

TEST_F(HostilePeer, HandshakeDeadlineIsFifteenSecondsOrTwoMinutesOnceACodeShows) {
    startHost();
    ASSERT_TRUE(pad->raw.readLine());
    timers->advance(PenChannel::handshakeDeadline - 0.01);
    main->runUntilIdle();
    EXPECT_EQ(mac.events->endedCount, 0);
    timers->advance(0.01);
    expectClosed(End::failure, Cause::handshakeTimeout);
    EXPECT_EQ(mac.events->end->message(), "Pairing expired. Select your computer to try again.");

    TearDown();
    SetUp();
    startHost();
    ASSERT_TRUE(pad->handshake() && pad->send(Kind::unknown));
    ASSERT_TRUE(runUntil([&] { return mac.events->code.has_value(); }));
    // The heartbeat is fed by pongs only; keep the peer answering for two minutes.
    for (double elapsed = 0; elapsed < PenChannel::pairingDeadline - 2.5;
         elapsed += PenChannel::pingInterval) {
        timers->advance(PenChannel::pingInterval);
        const auto ping = pad->receiveUntil(Kind::ping);
        ASSERT_TRUE(ping);
        SessionPayload pong;
        pong.kind = Kind::pong;
        pong.probe = ping->probe;
        ASSERT_TRUE(pad->sendPayload(pong));
        ASSERT_TRUE(runUntil([&] {
            return !mac.events->latencies.empty() &&
                   mac.events->latencies.back().kind() == LinkLatency::Case::measured;
        }));
        mac.events->latencies.clear();
    }
    EXPECT_EQ(mac.events->endedCount, 0);
    timers->advance(2.5);
    expectClosed(End::failure, Cause::handshakeTimeout);
}

TEST_F(HostilePeer, PingsMeasureTimeOutDetectOldPeersAndFeedTheHeartbeat) {
    reachReady();
    mac.channel->setLocalDisplay(DisplayGeometry{1920, 1080});
    timers->advance(PenChannel::pingInterval);
    const auto ping = pad->receive();
    ASSERT_TRUE(ping && ping->kind == Kind::ping && ping->probe);
    clock->advance(0.025);
    SessionPayload pong;
    pong.kind = Kind::pong;
    pong.probe = ping->probe;
    pong.display = DisplayGeometry{2732, 2048};
    ASSERT_TRUE(pad->sendPayload(pong));
    ASSERT_TRUE(pad->sendPayload(pong));  // an old probe: ignored, same display: not repeated
    ASSERT_TRUE(runUntil([&] { return mac.events->latencies.size() == 1; }));
    EXPECT_EQ(mac.events->latencies[0], LinkLatency::measured(25.0));

    // Our own pong answers carry the local display.
    SessionPayload probe;
    probe.kind = Kind::ping;
    probe.probe = Uuid::random();
    ASSERT_TRUE(pad->sendPayload(probe));
    const auto answer = pad->receive();
    ASSERT_TRUE(answer && answer->kind == Kind::pong);
    EXPECT_EQ(answer->probe, probe.probe);
    EXPECT_EQ(answer->display, (DisplayGeometry{1920, 1080}));

    // A pong without probe marks an old peer; an unanswered ping is reported at the next tick.
    timers->advance(PenChannel::pingInterval);
    ASSERT_TRUE(pad->receive());
    ASSERT_TRUE(pad->send(Kind::pong));
    ASSERT_TRUE(runUntil([&] { return mac.events->latencies.size() == 2; }));
    timers->advance(PenChannel::pingInterval);
    ASSERT_TRUE(runUntil([&] { return mac.events->latencies.size() == 3; }));
    EXPECT_EQ(mac.events->latencies[1], LinkLatency::unsupported());
    EXPECT_EQ(mac.events->latencies[2], LinkLatency::timedOut());
    EXPECT_EQ(mac.events->displays, std::vector<DisplayGeometry>{(DisplayGeometry{2732, 2048})});

    // Pings alone do not keep a link alive: six seconds after the last line from the tablet.
    timers->advance(PenChannel::heartbeatExpiry - PenChannel::pingInterval - 0.01);
    main->runUntilIdle();
    EXPECT_EQ(mac.events->endedCount, 0);
    timers->advance(0.01);
    expectClosed(End::interrupted, Cause::heartbeatExpired, 1);
}

TEST_F(HostilePeer, StopClosesHalfASecondLaterAndDiscardsInput) {
    reachReady();
    ASSERT_TRUE(mac.channel->stop());
    ASSERT_TRUE(pad->receiveUntil(Kind::stop));
    SessionPayload input;
    input.kind = Kind::input;
    input.samples = {movedSample(0.5)};
    ASSERT_TRUE(pad->sendPayload(input));
    timers->advance(PenChannel::stopDelay - 0.01);
    main->runUntilIdle();
    EXPECT_EQ(mac.events->endedCount, 0);
    timers->advance(0.01);
    expectClosed(End::stopped, Cause::application, 1);
    EXPECT_FALSE(mac.channel->approve());
    EXPECT_TRUE(mac.channel->stop());
    // The tablet was remembered at pairing, so its intent is now refused.
    const RememberedDevice device{pad->hello().identity, pad->name};
    EXPECT_TRUE(store->isStopped(device.id(), pad->intent));
}

TEST_F(HostilePeer, PeerThatStopsReadingEndsWithBackpressure) {
    const int small = 4096;
    ::setsockopt(macFd, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(padFd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    reachReady();
    auto context = editorContext();
    context.iconPNG = Bytes(12'000, 0);
    const std::uint8_t header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                   'I',  'H', 'D', 'R', 0,    0,    0,    64,   0, 0, 0, 64};
    std::copy(std::begin(header), std::end(header), context.iconPNG->begin());
    ASSERT_TRUE(context.isValid());
    for (int index = 0; index < 400 && mac.events->endedCount == 0; ++index) {
        mac.channel->send(context);
        main->runUntilIdle();
    }
    ASSERT_TRUE(runUntil([&] { return mac.events->endedCount == 1; }));
    EXPECT_EQ(mac.events->end, ConnectionEnd(End::interrupted));
    EXPECT_EQ(mac.channel->closedCause(), Cause::writeBackpressure);
    EXPECT_EQ(mac.events->endedReceived, 1);
}

}  // namespace
}  // namespace quillory
