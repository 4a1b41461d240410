#include "core/link/pen_channel.h"

#include <gtest/gtest.h>

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include "core/link/tests/channel_test_support.h"

namespace quillory {
namespace {

using namespace quillory::testing;

const Uuid kMacIntent = *Uuid::parse("01000000-0000-0000-0000-000000000001");
const Uuid kPadIntent = *Uuid::parse("02000000-0000-0000-0000-000000000001");

std::string hexOf(ByteView bytes) {
    return hexString(bytes);
}

TEST(SessionCrypto, KeyScheduleMatchesTheReferenceVector) {
    const auto macIdentity = *crypto::Ed25519SigningKey::fromSeed(filled(32, 0x01));
    const auto padIdentity = *crypto::Ed25519SigningKey::fromSeed(filled(32, 0x02));
    const auto macEphemeral = *crypto::X25519PrivateKey::fromRaw(filled(32, 0x11));
    const auto padEphemeral = *crypto::X25519PrivateKey::fromRaw(filled(32, 0x12));
    EXPECT_EQ(hexOf(macIdentity.publicKey()),
              "8a88e3dd7409f195fd52db2d3cba5d72ca6709bf1d94121bf3748801b40f6f5c");
    const auto macCommit = crypto::sha256(session_crypto::helloBody(
        session_crypto::Side::mac, macIdentity.publicKey(), macEphemeral.publicKey(),
        filled(32, 0x21), kMacIntent, "Test Mac"));
    const auto padCommit = crypto::sha256(session_crypto::helloBody(
        session_crypto::Side::pad, padIdentity.publicKey(), padEphemeral.publicKey(),
        filled(32, 0x22), kPadIntent, "Test iPad"));
    EXPECT_EQ(hexOf(macCommit), "799f8d6937394cf5bffe5b8a2c2c1bf4c7f51d75394faae80ecb3377197b5d8e");
    EXPECT_EQ(hexOf(padCommit), "0390e7e0574cbfccbf03e15ae153652d2e06843e0d8f9782af426ff8d9c070a7");
    const auto shared = macEphemeral.sharedSecret(padEphemeral.publicKey());
    ASSERT_TRUE(shared);
    EXPECT_EQ(hexOf(shared->view()),
              "0a8b7643c0576a2cf7023b77d98843922eabbc844d39766cc8eaaf7dd355753e");
    const auto mac =
        session_crypto::deriveKeys(session_crypto::Side::mac, shared->view(), macCommit, padCommit);
    const auto pad =
        session_crypto::deriveKeys(session_crypto::Side::pad, shared->view(), macCommit, padCommit);
    ASSERT_TRUE(mac && pad);
    EXPECT_EQ(hexOf(mac->transcript),
              "2616256a984d955664b371ce7fb911c274b439974a467f37f038b32ba15727c7");
    EXPECT_EQ(hexOf(mac->sendKey.view()),
              "d3be9ed7757366e0ab9d1b4928e03b09f5ef0e4e146deec329c7254d251fa57f");
    EXPECT_EQ(hexOf(mac->sendIV.view()), "95bbb634a5fc5e86e3c80f85");
    EXPECT_EQ(hexOf(mac->receiveKey.view()),
              "9b6a8f1ad7fbc81d7d5a61473a291c2e63d2ed0da0825742a42ea0c251354ba8");
    EXPECT_EQ(hexOf(mac->receiveIV.view()), "f67ce0f5a31324eae2a96217");
    EXPECT_EQ(mac->code, "257888");
    EXPECT_EQ(pad->code, "257888");
    EXPECT_TRUE(pad->sendKey == mac->receiveKey && pad->receiveKey == mac->sendKey);
}

// Both channels of the reference vector, with the test passing their lines along and checking
// each one on the way.
TEST_F(ChannelTest, ReproducesTheReferenceVectorOnTheWire) {
    auto [macFd, macPeerFd] = socketPair();
    auto [padFd, padPeerFd] = socketPair();
    RawEnd toMac(macPeerFd);
    RawEnd toPad(padPeerFd);
    auto mac =
        endpoint(macFd, SessionRole::mac, memoryStore(filled(32, 0x01)), kMacIntent, std::nullopt,
                 true, {timers, SecretBytes(filled(32, 0x11)), filled(32, 0x21)});
    auto pad =
        endpoint(padFd, SessionRole::pad, memoryStore(filled(32, 0x02)), kPadIntent, std::nullopt,
                 true, {timers, SecretBytes(filled(32, 0x12)), filled(32, 0x22)});
    mac.channel->start();
    pad.channel->start();

    const auto macCommit = toMac.readLine();
    const auto padCommit = toPad.readLine();
    ASSERT_TRUE(macCommit && padCommit);
    EXPECT_EQ(
        *macCommit,
        R"({"version":9,"kind":"commit","data":"eZ+NaTc5TPW//luKLCwb9Mf1HXU5T6roDsszdxl7XY4="})");
    EXPECT_EQ(packetOf(*padCommit)->data,
              *base64Decode("A5Dn4FdMv8y/A+Fa4VNlLS4GhD4Nj5eCr0Jv+NnAcKc="));
    ASSERT_TRUE(toPad.write(*macCommit + "\n"));
    ASSERT_TRUE(toMac.write(*padCommit + "\n"));

    const auto macHello = toMac.readLine();
    const auto padHello = toPad.readLine();
    ASSERT_TRUE(macHello && padHello);
    const auto helloData = packetOf(*padHello)->data;
    EXPECT_EQ(
        std::string(helloData.begin(), helloData.end()),
        R"({"role":"pad","name":"Test iPad","identity":"gTl3Dqh9F19Wo1Rmw0x+zMuNipG07jeiXfYPW4/Js5Q=","ephemeral":"BSpQdzrI2Rdz8tyWYuEvDe/pFeQVuKHI4gpaPWqyuEM=","nonce":"IiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiI=","intent":"02000000-0000-0000-0000-000000000001","signature":"glHHD8KkPKGQHb0yCiyzejEIQ8tE4OW4bV+F3lguaoFl0ZjF21h0neahfE7ahEEmf1SRi4KA+YdrLTuU3CjcCA=="})");
    ASSERT_TRUE(toPad.write(*macHello + "\n"));
    ASSERT_TRUE(toMac.write(*padHello + "\n"));

    const auto macSealed = toMac.readLine();
    const auto padSealed = toPad.readLine();
    ASSERT_TRUE(macSealed && padSealed);
    EXPECT_EQ(
        *padSealed,
        R"({"version":9,"kind":"sealed","data":"6R9ZYOxL0wbWaLMhYT4DmdJdHaa4ohoVaq8540aiphT8stkBGAa5sn+0Gz42VQ=="})");
    ASSERT_TRUE(toPad.write(*macSealed + "\n"));
    ASSERT_TRUE(toMac.write(*padSealed + "\n"));

    ASSERT_TRUE(runUntil([&] { return mac.events->code && pad.events->code; }));
    EXPECT_EQ(*mac.events->code, "257888");
    EXPECT_EQ(*pad.events->code, "257888");
    ASSERT_EQ(mac.events->peers.size(), 1u);
    EXPECT_EQ(mac.events->peers[0].first.id(),
              "6a3803d5f059902a1c6dafbc9ba4729212f7caac08634cc3ae76b27529f03827");
    EXPECT_EQ(mac.events->peers[0].second, kPadIntent);
    ASSERT_EQ(pad.events->peers.size(), 1u);
    EXPECT_EQ(pad.events->peers[0].first.id(),
              "34750f98bd59fcfc946da45aaabe933be154a4b5094e1c4abf42866505f3c97e");
}

// Two real channels wired to each other.
class LinkedChannels : public ChannelTest {
  protected:
    struct Pair {
        Endpoint mac;
        Endpoint pad;
    };

    Pair connect(const std::shared_ptr<DeviceTrustStore>& macStore,
                 const std::shared_ptr<DeviceTrustStore>& padStore, Uuid padIntent,
                 std::optional<std::string> expectedPeer = std::nullopt, bool allowPairing = true) {
        auto [macFd, padFd] = socketPair();
        return start(macFd, padFd, macStore, padStore, padIntent, std::move(expectedPeer),
                     allowPairing);
    }

    Pair start(int macFd, int padFd, const std::shared_ptr<DeviceTrustStore>& macStore,
               const std::shared_ptr<DeviceTrustStore>& padStore, Uuid padIntent,
               std::optional<std::string> expectedPeer = std::nullopt, bool allowPairing = true) {
        Pair pair{endpoint(macFd, SessionRole::mac, macStore, Uuid::random()),
                  endpoint(padFd, SessionRole::pad, padStore, padIntent, std::move(expectedPeer),
                           allowPairing)};
        pair.mac.channel->start();
        pair.pad.channel->start();
        return pair;
    }

    // Both users confirm the code, the host first or the tablet first.
    void pair(Pair& pair, bool hostFirst) {
        ASSERT_TRUE(runUntil([&] { return pair.mac.events->code && pair.pad.events->code; }));
        EXPECT_EQ(*pair.mac.events->code, *pair.pad.events->code);
        EXPECT_EQ(pair.mac.events->code->size(), 6u);
        auto& first = hostFirst ? pair.mac : pair.pad;
        auto& second = hostFirst ? pair.pad : pair.mac;
        EXPECT_TRUE(first.channel->approve());
        ASSERT_TRUE(runUntil([&] { return second.events->has("approval 01"); }));
        EXPECT_TRUE(first.events->has("approval 10"));
        EXPECT_EQ(second.events->readyCount, 0);
        EXPECT_TRUE(second.channel->approve());
        // Approving again is harmless.
        EXPECT_TRUE(second.channel->approve());
        ASSERT_TRUE(runUntil(
            [&] { return pair.mac.events->readyCount == 1 && pair.pad.events->readyCount == 1; }));
        EXPECT_TRUE(second.events->has("approval 11"));
        EXPECT_TRUE(first.events->has("approval 11"));
    }

    static void expectPeerBeforeReady(const ChannelEvents& events) {
        const auto peer = std::find_if(events.log.begin(), events.log.end(), [](const auto& entry) {
            return entry.rfind("peer ", 0) == 0;
        });
        const auto ready = std::find(events.log.begin(), events.log.end(), "ready");
        EXPECT_LT(peer, ready);
    }
};

TEST_F(LinkedChannels, PairsInEitherOrderThenReconnectsWithoutCode) {
    for (const bool hostFirst : {true, false}) {
        SCOPED_TRACE(hostFirst ? "host confirms first" : "tablet confirms first");
        auto macStore = memoryStore();
        auto padStore = memoryStore();
        auto first = connect(macStore, padStore, Uuid::random());
        pair(first, hostFirst);
        expectPeerBeforeReady(*first.mac.events);
        ASSERT_EQ(macStore->peers().size(), 1u);
        EXPECT_EQ(macStore->peers()[0].name, "Test iPad");
        ASSERT_EQ(padStore->peers().size(), 1u);
        EXPECT_EQ(padStore->peers()[0].name, "Test Mac");
        EXPECT_EQ(padStore->peers()[0].id(), macStore->fingerprint());

        auto second = connect(macStore, padStore, Uuid::random(), macStore->fingerprint(), false);
        ASSERT_TRUE(runUntil([&] {
            return second.mac.events->readyCount == 1 && second.pad.events->readyCount == 1;
        }));
        EXPECT_FALSE(second.mac.events->code);
        EXPECT_FALSE(second.pad.events->code);
        EXPECT_TRUE(second.mac.channel->approve());
        expectPeerBeforeReady(*second.mac.events);
    }
}

TEST_F(LinkedChannels, StopOnEitherSideEndsTheOtherAsDisconnected) {
    auto macStore = memoryStore();
    auto padStore = memoryStore();
    auto first = connect(macStore, padStore, Uuid::random());
    pair(first, true);
    for (const bool hostStops : {true, false}) {
        auto link = connect(macStore, padStore, Uuid::random());
        ASSERT_TRUE(
            runUntil([&] { return link.mac.events->readyCount && link.pad.events->readyCount; }));
        auto& stopper = hostStops ? link.mac : link.pad;
        auto& other = hostStops ? link.pad : link.mac;
        EXPECT_TRUE(stopper.channel->stop());
        EXPECT_TRUE(stopper.channel->stop());
        EXPECT_FALSE(stopper.channel->approve());
        ASSERT_TRUE(runUntil([&] { return other.events->endedCount == 1; }));
        EXPECT_EQ(other.events->end->message(), "Disconnected");
        // The peer hangs up at once; that does not turn our own stop into an interruption.
        ASSERT_TRUE(runUntil([&] { return stopper.events->endedCount == 1; }));
        EXPECT_EQ(stopper.events->end, ConnectionEnd(ConnectionEnd::Case::stopped));
    }
    EXPECT_EQ(macStore->peers().size(), 1u);
}

TEST_F(LinkedChannels, StoppedIntentIsRefusedWhileANewIntentPairs) {
    auto macStore = memoryStore();
    auto padStore = memoryStore();
    const auto intent = Uuid::random();
    auto first = connect(macStore, padStore, intent);
    pair(first, true);
    ASSERT_TRUE(first.mac.channel->stop());
    EXPECT_TRUE(macStore->isStopped(macStore->peers()[0].id(), intent));
    ASSERT_TRUE(runUntil([&] { return first.pad.events->endedCount == 1; }));

    // An automatic reconnect with the stopped intent.
    auto again = connect(macStore, padStore, intent, macStore->fingerprint(), false);
    ASSERT_TRUE(runUntil([&] { return again.pad.events->endedCount == 1; }));
    EXPECT_EQ(again.pad.events->end, ConnectionEnd(ConnectionEnd::Case::stopped));
    EXPECT_EQ(again.pad.events->readyCount, 0);
    timers->advance(PenChannel::kStopDelay);
    ASSERT_TRUE(runUntil([&] { return again.mac.events->endedCount == 1; }));
    EXPECT_EQ(again.mac.events->end, ConnectionEnd(ConnectionEnd::Case::stopped));
    EXPECT_EQ(again.mac.events->readyCount, 0);

    // The user connects again: a new intent is let in.
    auto fresh = connect(macStore, padStore, Uuid::random(), macStore->fingerprint(), true);
    ASSERT_TRUE(
        runUntil([&] { return fresh.mac.events->readyCount && fresh.pad.events->readyCount; }));
}

TEST_F(LinkedChannels, StorageFailuresEndTheLinkAsStorage) {
    auto item = std::make_shared<MemorySecret>();
    auto macStore = DeviceTrustStore::open(item).store;
    auto padStore = memoryStore();
    item->failWrites = true;
    auto refused = connect(macStore, padStore, Uuid::random());
    ASSERT_TRUE(runUntil([&] { return refused.mac.events->code && refused.pad.events->code; }));
    EXPECT_TRUE(refused.pad.channel->approve());
    EXPECT_TRUE(refused.mac.channel->approve());
    ASSERT_TRUE(runUntil([&] { return refused.mac.events->endedCount == 1; }));
    EXPECT_EQ(refused.mac.events->end, ConnectionEnd(ConnectionEnd::Case::storage));
    EXPECT_EQ(refused.pad.events->readyCount, 0);
    EXPECT_TRUE(macStore->peers().empty());

    // A stop that cannot be recorded is reported as such.
    item->failWrites = false;
    auto link = connect(macStore, padStore, Uuid::random());
    pair(link, true);
    item->failWrites = true;
    EXPECT_FALSE(link.mac.channel->stop());
    ASSERT_TRUE(runUntil([&] { return link.mac.events->endedCount == 1; }));
    EXPECT_EQ(link.mac.events->end, ConnectionEnd(ConnectionEnd::Case::storage));
}

TEST_F(LinkedChannels, UnknownPeerWithoutPairingNeedsTrust) {
    auto link = connect(memoryStore(), memoryStore(), Uuid::random(), std::nullopt, false);
    ASSERT_TRUE(runUntil([&] { return link.mac.events->endedCount == 1; }));
    EXPECT_EQ(link.mac.events->end, ConnectionEnd(ConnectionEnd::Case::stopped));
    timers->advance(PenChannel::kStopDelay);
    ASSERT_TRUE(runUntil([&] { return link.pad.events->endedCount == 1; }));
    EXPECT_EQ(link.pad.events->end, ConnectionEnd(ConnectionEnd::Case::trustRequired));
    EXPECT_FALSE(link.pad.events->code);
}

TEST_F(LinkedChannels, UnexpectedHostIdentityEndsAsIdentityChanged) {
    auto link = connect(memoryStore(), memoryStore(), Uuid::random(), std::string(64, '0'));
    ASSERT_TRUE(runUntil(
        [&] { return link.pad.events->endedCount == 1 && link.mac.events->endedCount == 1; }));
    EXPECT_EQ(link.pad.events->end, ConnectionEnd(ConnectionEnd::Case::identityChanged));
    EXPECT_EQ(link.mac.events->end, ConnectionEnd(ConnectionEnd::Case::interrupted));
    EXPECT_EQ(link.mac.events->endedReceived, 1);
}

TEST_F(LinkedChannels, CarriesPenInputAndSignalsOverLoopbackTcp) {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    asio::ip::tcp::socket client(io);
    client.connect(acceptor.local_endpoint());
    auto accepted = acceptor.accept();
    auto link = start(StreamConnection::fromSocket(std::move(accepted)).release(),
                      StreamConnection::fromSocket(std::move(client)).release(), memoryStore(),
                      memoryStore(), Uuid::random());
    pair(link, false);

    std::vector<PenSample> samples(3);
    for (std::size_t index = 0; index < samples.size(); ++index) {
        samples[index].sequence = index;
        samples[index].phase = PenSample::Phase::moved;
        samples[index].x = 0.5;
        samples[index].y = 0.25;
        samples[index].pressure = 0.5;
        samples[index].altitude = 1.0;
    }
    link.pad.channel->send(samples);
    link.pad.channel->send(std::vector<PenSample>{});
    ControlsSignal controls;
    controls.id = Uuid::random();
    controls.kind = ControlsSignal::Kind::listCommands;
    link.pad.channel->send(controls);
    DesktopContext context;
    context.id = Uuid::random();
    context.platform = DesktopContext::Platform::windows;
    context.applicationID = "org.example.editor";
    context.name = "Editor";
    link.mac.channel->send(context);
    // Wrong direction for the host: dropped, never sent.
    link.mac.channel->send(samples);
    ASSERT_TRUE(runUntil([&] {
        return link.mac.events->controls.size() == 1 && link.pad.events->contexts.size() == 1 &&
               link.mac.events->cancelledReceived == 1;
    }));
    EXPECT_EQ(link.mac.events->samplesReceived, 3);
    EXPECT_EQ(link.mac.events->controls[0], controls);
    EXPECT_EQ(link.pad.events->contexts[0], context);
    EXPECT_EQ(link.pad.events->endedCount, 0);
}

TEST_F(LinkedChannels, OversizePayloadIsDroppedWithoutBreakingTheSequence) {
    auto link = connect(memoryStore(), memoryStore(), Uuid::random());
    pair(link, true);
    ControlsSignal huge;
    huge.id = Uuid::random();
    huge.kind = ControlsSignal::Kind::commands;
    huge.commands = std::vector<MenuCommand>(120);
    for (auto& command : *huge.commands) {
        command.title = std::string(128, 't');
        command.path = std::vector<std::string>(6, std::string(128, 'p'));
    }
    ASSERT_TRUE(huge.isValid());
    ControlsSignal small;
    small.id = Uuid::random();
    small.kind = ControlsSignal::Kind::commands;
    small.final = true;
    link.mac.channel->send(huge);
    link.mac.channel->send(small);

    // The largest input batch fits in one line.
    std::vector<PenSample> samples(SessionPayload::kMaxSamples);
    for (auto& sample : samples) {
        sample.phase = PenSample::Phase::moved;
        sample.x = 0.123456789012345;
        sample.y = 0.987654321098765;
        sample.pressure = 0.333333333333333;
        sample.altitude = 1.234567890123456;
        sample.azimuth = -2.345678901234567;
        sample.timestamp = 123456.789012345;
        sample.studioID = Uuid::random();
    }
    link.pad.channel->send(samples);
    ASSERT_TRUE(runUntil([&] {
        return link.pad.events->controls.size() == 1 &&
               link.mac.events->samplesReceived == static_cast<int>(SessionPayload::kMaxSamples);
    }));
    EXPECT_EQ(link.pad.events->controls[0], small);
    EXPECT_EQ(link.pad.events->endedCount, 0);
    EXPECT_EQ(link.mac.events->endedCount, 0);
}

}  // namespace
}  // namespace quillory
