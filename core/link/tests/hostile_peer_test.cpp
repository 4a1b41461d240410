#include <gtest/gtest.h>
#include <sys/socket.h>

#include "core/link/pen_channel.h"
#include "core/link/tests/channel_test_support.h"

namespace quillory {
namespace {

using namespace quillory::testing;
using Cause = PenChannel::Cause;
using Kind = SessionPayload::Kind;

// A host channel facing a scripted tablet that breaks the rules in one way per case.
class HostilePeer : public ChannelTest {
  protected:
    void SetUp() override {
        ChannelTest::SetUp();
        auto [macFd, padFd] = socketPair();
        macFd_ = macFd;
        pad = std::make_unique<ScriptedPad>(padFd);
    }

    void TearDown() override {
        mac = {};
        ChannelTest::TearDown();
    }

    void startHost(std::shared_ptr<DeviceTrustStore> store = memoryStore(filled(32, 0x01))) {
        store_ = store;
        mac = endpoint(macFd_, SessionRole::mac, std::move(store), Uuid::random());
        mac.channel->start();
    }

    // Expects the host to close exactly once with this end and cause, having delivered nothing.
    void expectClosed(ConnectionEnd::Case end, Cause cause) {
        ASSERT_TRUE(runUntil([&] { return mac.events->endedCount > 0; }));
        main->runUntilIdle();
        EXPECT_EQ(mac.events->end->kind(), end);
        EXPECT_EQ(mac.channel->closedCause(), cause);
        EXPECT_EQ(mac.events->endedCount, 1);
        EXPECT_EQ(mac.events->endedReceived, 1);
        EXPECT_EQ(mac.events->samplesReceived, 0);
        EXPECT_EQ(mac.events->actionsReceived, 0);
        EXPECT_EQ(mac.events->readyCount, 0);
        EXPECT_TRUE(pad->raw.waitForClose());
    }

    // Handshake, then both confirm the code: the host is ready for input.
    void reachReady() {
        startHost();
        ASSERT_TRUE(pad->handshake());
        ASSERT_EQ(pad->receive()->kind, Kind::unknown);
        ASSERT_TRUE(pad->send(Kind::unknown));
        ASSERT_TRUE(runUntil([&] { return mac.events->code.has_value(); }));
        ASSERT_TRUE(mac.channel->approve());
        ASSERT_EQ(pad->receive()->kind, Kind::approve);
        ASSERT_TRUE(pad->send(Kind::approve));
        ASSERT_EQ(pad->receive()->kind, Kind::saved);
        ASSERT_TRUE(pad->send(Kind::saved));
        ASSERT_TRUE(runUntil([&] { return mac.events->readyCount == 1; }));
    }

    static PenSample sample(double x) {
        PenSample sample;
        sample.phase = PenSample::Phase::moved;
        sample.x = x;
        sample.y = 0.5;
        sample.pressure = 0.5;
        sample.altitude = 1.0;
        return sample;
    }

    SessionPayload input(std::vector<PenSample> samples) {
        SessionPayload payload;
        payload.kind = Kind::input;
        payload.samples = std::move(samples);
        return payload;
    }

    int macFd_ = -1;
    std::shared_ptr<DeviceTrustStore> store_;
    std::unique_ptr<ScriptedPad> pad;
    Endpoint mac;
};

struct FrameCase {
    const char* name;
    std::string bytes;
    ConnectionEnd::Case end;
    Cause cause;
};

TEST_F(HostilePeer, BadFramesCloseTheLink) {
    const std::vector<FrameCase> cases = {
        {"not JSON", "hello\n", ConnectionEnd::Case::verification, Cause::invalidFrame},
        {"empty line", "\n", ConnectionEnd::Case::verification, Cause::invalidFrame},
        {"bad base64",
         R"({"version":9,"kind":"commit","data":"!!!!"})"
         "\n",
         ConnectionEnd::Case::verification, Cause::invalidFrame},
        {"unknown kind",
         R"({"version":9,"kind":"other","data":""})"
         "\n",
         ConnectionEnd::Case::verification, Cause::invalidFrame},
        {"old version",
         R"({"version":8,"kind":"commit","data":""})"
         "\n",
         ConnectionEnd::Case::incompatible, Cause::unsupportedVersion},
        {"sealed before keys",
         R"({"version":9,"kind":"sealed","data":"AAAA"})"
         "\n",
         ConnectionEnd::Case::verification, Cause::invalidFrame},
        {"hello before commit", lineOf(SessionPacket::Kind::hello, asBytes(R"({"role":"pad"})")),
         ConnectionEnd::Case::verification, Cause::invalidFrame},
        {"short commit", lineOf(SessionPacket::Kind::commit, filled(31, 1)),
         ConnectionEnd::Case::verification, Cause::invalidFrame},
        // No newline: the limit is enforced as the bytes arrive.
        {"over-long line", std::string(65'536, 'x'), ConnectionEnd::Case::verification,
         Cause::frameSizeExceeded},
    };
    for (const auto& frame : cases) {
        SCOPED_TRACE(frame.name);
        TearDown();
        SetUp();
        startHost();
        ASSERT_TRUE(pad->raw.readLine());
        ASSERT_TRUE(pad->raw.write(frame.bytes));
        expectClosed(frame.end, frame.cause);
    }
}

TEST_F(HostilePeer, SecondCommitIsRefused) {
    startHost();
    ASSERT_TRUE(pad->exchangeCommits());
    ASSERT_TRUE(pad->raw.write(lineOf(SessionPacket::Kind::commit, pad->ownCommit)));
    expectClosed(ConnectionEnd::Case::verification, Cause::invalidFrame);
}

TEST_F(HostilePeer, TamperedHellosAreRejected) {
    struct Tamper {
        const char* name;
        std::function<void(ScriptedPad&, SessionHello&)> change;
    };
    const std::vector<Tamper> tampers = {
        {"name changed after the commit",
         [](ScriptedPad&, SessionHello& hello) { hello.name = "Eve"; }},
        {"signature of another session",
         [](ScriptedPad& pad, SessionHello& hello) {
             const auto signature =
                 pad.identity.sign(session_crypto::signedMessage(filled(32, 9), pad.macCommit));
             hello.signature.assign(signature.begin(), signature.end());
         }},
        {"own role", [](ScriptedPad&, SessionHello& hello) { hello.role = SessionRole::mac; }},
        {"short identity", [](ScriptedPad&, SessionHello& hello) { hello.identity.pop_back(); }},
    };
    for (const auto& tamper : tampers) {
        SCOPED_TRACE(tamper.name);
        TearDown();
        SetUp();
        startHost();
        ASSERT_TRUE(pad->exchangeCommits());
        auto hello = pad->hello();
        tamper.change(*pad, hello);
        ASSERT_TRUE(pad->sendHello(hello));
        expectClosed(ConnectionEnd::Case::verification, Cause::handshakeRejected);
    }
}

TEST_F(HostilePeer, ReflectedIdentityAndZeroPointAreRejected) {
    // The host's own identity coming back.
    pad = std::make_unique<ScriptedPad>(pad->raw.release(), filled(32, 0x01));
    startHost();
    ASSERT_TRUE(pad->exchangeCommits());
    ASSERT_TRUE(pad->sendHello(pad->hello()));
    expectClosed(ConnectionEnd::Case::verification, Cause::handshakeRejected);

    TearDown();
    SetUp();
    pad->ephemeralOverride = filled(32, 0);
    startHost();
    ASSERT_TRUE(pad->exchangeCommits());
    ASSERT_TRUE(pad->sendHello(pad->hello()));
    expectClosed(ConnectionEnd::Case::verification, Cause::handshakeRejected);
}

TEST_F(HostilePeer, SecondHelloIsRefused) {
    startHost();
    ASSERT_TRUE(pad->handshake());
    ASSERT_TRUE(pad->sendHello(pad->hello()));
    expectClosed(ConnectionEnd::Case::verification, Cause::invalidFrame);
}

TEST_F(HostilePeer, DamagedSealedRecordsAreRejected) {
    struct Damage {
        const char* name;
        std::function<std::string(ScriptedPad&)> lines;
        Cause cause;
    };
    auto known = [](ScriptedPad& pad, std::uint64_t counter) {
        return pad.sealedLine(R"({"kind":"known","counter":)" + std::to_string(counter) + "}");
    };
    auto withData = [](const std::string& line, const std::function<void(Bytes&)>& change) {
        auto packet = *packetOf(line.substr(0, line.size() - 1));
        change(packet.data);
        return packet.encodeLine();
    };
    const std::vector<Damage> damages = {
        {"replayed",
         [&](ScriptedPad& pad) {
             const auto line = known(pad, 0);
             return line + line;
         },
         Cause::decryptionFailed},
        {"reordered",
         [&](ScriptedPad& pad) {
             const auto first = known(pad, 0);
             return pad.sealedLine(R"({"kind":"ping","counter":1,"probe":")" +
                                   Uuid::random().text() + "\"}") +
                    first;
         },
         Cause::decryptionFailed},
        {"lost",
         [&](ScriptedPad& pad) {
             (void)known(pad, 0);
             return known(pad, 1);
         },
         Cause::decryptionFailed},
        {"truncated",
         [&](ScriptedPad& pad) {
             return withData(known(pad, 0), [](Bytes& data) { data.pop_back(); });
         },
         Cause::decryptionFailed},
        {"bit flipped",
         [&](ScriptedPad& pad) {
             return withData(known(pad, 0), [](Bytes& data) { data[3] ^= 0x20; });
         },
         Cause::decryptionFailed},
        {"counter mismatch", [&](ScriptedPad& pad) { return known(pad, 7); },
         Cause::decryptionFailed},
        {"undecodable payload", [&](ScriptedPad& pad) { return pad.sealedLine("{}"); },
         Cause::invalidPayload},
        {"saved before trust",
         [&](ScriptedPad& pad) { return pad.sealedLine(R"({"kind":"saved","counter":0})"); },
         Cause::invalidPayload},
        {"input before ready",
         [&](ScriptedPad& pad) {
             return pad.sealedLine(R"({"kind":"input","counter":0,"samples":[]})");
         },
         Cause::invalidPayload},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.name);
        TearDown();
        SetUp();
        startHost();
        ASSERT_TRUE(pad->handshake());
        ASSERT_TRUE(pad->raw.write(damage.lines(*pad)));
        expectClosed(ConnectionEnd::Case::verification, damage.cause);
        EXPECT_EQ(mac.events->cancelledReceived, 0);
    }
}

TEST_F(HostilePeer, WrongPhaseOrDirectionClosesButBadContentOnlyDrops) {
    reachReady();
    // Content that fails its rules is dropped and lifts the pen; the link stays.
    ASSERT_TRUE(pad->sendPayload(input({sample(2.0), sample(0.5)})));
    ASSERT_TRUE(pad->sendPayload(input({sample(0.25)})));
    ASSERT_TRUE(runUntil([&] { return mac.events->samplesReceived == 1; }));
    EXPECT_EQ(mac.events->cancelledReceived, 1);
    EXPECT_EQ(mac.events->endedCount, 0);

    // A "desktop" payload, which only a host sends.
    SessionPayload desktop;
    desktop.kind = Kind::desktop;
    desktop.desktop = DesktopContext{};
    desktop.desktop->id = Uuid::random();
    desktop.desktop->applicationID = "org.example.editor";
    desktop.desktop->name = "Editor";
    ASSERT_TRUE(desktop.isValid());
    ASSERT_TRUE(pad->sendPayload(desktop));
    ASSERT_TRUE(runUntil([&] { return mac.events->endedCount == 1; }));
    EXPECT_EQ(mac.channel->closedCause(), Cause::invalidPayload);
    EXPECT_EQ(mac.events->endedReceived, 1);
    EXPECT_EQ(mac.events->samplesReceived, 1);
}

TEST_F(HostilePeer, SecondApprovalIsAViolation) {
    reachReady();
    ASSERT_TRUE(pad->send(Kind::approve));
    ASSERT_TRUE(runUntil([&] { return mac.events->endedCount == 1; }));
    EXPECT_EQ(mac.channel->closedCause(), Cause::invalidPayload);
}

TEST_F(HostilePeer, SilentPeerIsClosedAtTheHandshakeDeadline) {
    startHost();
    ASSERT_TRUE(pad->raw.readLine());
    timers->advance(PenChannel::kHandshakeDeadline - 0.01);
    main->runUntilIdle();
    EXPECT_EQ(mac.events->endedCount, 0);
    timers->advance(0.01);
    expectClosed(ConnectionEnd::Case::failure, Cause::handshakeTimeout);
    EXPECT_EQ(mac.events->end->message(), "Pairing expired. Select your Mac to try again.");
}

TEST_F(HostilePeer, ShownCodeExtendsTheDeadlineToTwoMinutes) {
    startHost();
    ASSERT_TRUE(pad->handshake());
    ASSERT_TRUE(pad->send(Kind::unknown));
    ASSERT_TRUE(runUntil([&] { return mac.events->code.has_value(); }));
    // The heartbeat is fed by pongs only; keep the peer answering for two minutes.
    for (double elapsed = 0; elapsed < PenChannel::kPairingDeadline - 2.5;
         elapsed += PenChannel::kPingInterval) {
        timers->advance(PenChannel::kPingInterval);
        std::optional<SessionPayload> ping;
        do {
            ping = pad->receive();
        } while (ping && ping->kind != Kind::ping);
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
    expectClosed(ConnectionEnd::Case::failure, Cause::handshakeTimeout);
}

TEST_F(HostilePeer, PingsMeasureTimeOutAndDetectOldPeers) {
    reachReady();
    mac.channel->setLocalDisplay(DisplayGeometry{1920, 1080});
    timers->advance(PenChannel::kPingInterval);
    auto ping = pad->receive();
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

    // Unanswered: reported at the next tick.
    timers->advance(PenChannel::kPingInterval);
    ASSERT_TRUE(pad->receive());
    ASSERT_TRUE(pad->send(Kind::pong));
    timers->advance(PenChannel::kPingInterval);
    ASSERT_TRUE(runUntil([&] { return mac.events->latencies.size() == 3; }));
    EXPECT_EQ(mac.events->latencies[1], LinkLatency::unsupported());
    EXPECT_EQ(mac.events->latencies[2], LinkLatency::timedOut());
    EXPECT_EQ(mac.events->displays, std::vector<DisplayGeometry>{(DisplayGeometry{2732, 2048})});
}

TEST_F(HostilePeer, QuietLinkExpiresAfterSixSeconds) {
    reachReady();
    timers->advance(PenChannel::kHeartbeatExpiry - 0.5);
    main->runUntilIdle();
    mac.events->latencies.clear();
    ASSERT_TRUE(pad->send(Kind::pong));
    ASSERT_TRUE(runUntil([&] {
        return !mac.events->latencies.empty() &&
               mac.events->latencies.back() == LinkLatency::unsupported();
    }));
    timers->advance(PenChannel::kHeartbeatExpiry - 0.01);
    main->runUntilIdle();
    EXPECT_EQ(mac.events->endedCount, 0);
    timers->advance(0.01);
    ASSERT_TRUE(runUntil([&] { return mac.events->endedCount == 1; }));
    EXPECT_EQ(mac.events->end, ConnectionEnd(ConnectionEnd::Case::interrupted));
    EXPECT_EQ(mac.channel->closedCause(), Cause::heartbeatExpired);
}

TEST_F(HostilePeer, StopClosesHalfASecondLaterAndDiscardsInput) {
    reachReady();
    ASSERT_TRUE(mac.channel->stop());
    std::optional<SessionPayload> stop;
    do {
        stop = pad->receive();
    } while (stop && stop->kind != Kind::stop);
    ASSERT_TRUE(stop);
    ASSERT_TRUE(pad->sendPayload(input({sample(0.5)})));
    timers->advance(PenChannel::kStopDelay - 0.01);
    main->runUntilIdle();
    EXPECT_EQ(mac.events->endedCount, 0);
    timers->advance(0.01);
    ASSERT_TRUE(runUntil([&] { return mac.events->endedCount == 1; }));
    EXPECT_EQ(mac.events->end, ConnectionEnd(ConnectionEnd::Case::stopped));
    EXPECT_EQ(mac.channel->closedCause(), Cause::application);
    EXPECT_EQ(mac.events->samplesReceived, 0);
    EXPECT_FALSE(mac.channel->approve());
    EXPECT_TRUE(mac.channel->stop());
    // The tablet was remembered at pairing, so its intent is now refused.
    const RememberedDevice device{pad->hello().identity, pad->name};
    EXPECT_TRUE(store_->isStopped(device.id(), pad->intent));
}

TEST_F(HostilePeer, PeerThatStopsReadingEndsWithBackpressure) {
    const int small = 4096;
    ::setsockopt(macFd_, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(pad->raw.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    reachReady();
    DesktopContext context;
    context.id = Uuid::random();
    context.platform = DesktopContext::Platform::windows;
    context.applicationID = "org.example.editor";
    context.name = "Editor";
    Bytes icon(12'000, 0);
    const std::uint8_t header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                   'I',  'H', 'D', 'R', 0,    0,    0,    64,   0, 0, 0, 64};
    std::copy(std::begin(header), std::end(header), icon.begin());
    context.iconPNG = icon;
    ASSERT_TRUE(context.isValid());
    for (int index = 0; index < 400 && mac.events->endedCount == 0; ++index) {
        mac.channel->send(context);
        main->runUntilIdle();
    }
    ASSERT_TRUE(runUntil([&] { return mac.events->endedCount == 1; }));
    EXPECT_EQ(mac.events->end, ConnectionEnd(ConnectionEnd::Case::interrupted));
    EXPECT_EQ(mac.channel->closedCause(), Cause::writeBackpressure);
    EXPECT_EQ(mac.events->endedReceived, 1);
}

}  // namespace
}  // namespace quillory
