#include "core/link/pen_channel.h"

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include "core/link/tests/channel_test_support.h"

namespace quillory {
namespace {

using namespace quillory::testing;
using End = ConnectionEnd::Case;

// Both channels of the reference vector, with the test passing their lines along and checking
// each one on the way.
TEST_F(ChannelTest, ReproducesTheReferenceVector) {
    const auto padIntent = *Uuid::parse("02000000-0000-0000-0000-000000000001");
    auto [macFd, macPeerFd] = socketPair();
    auto [padFd, padPeerFd] = socketPair();
    RawEnd toMac(macPeerFd);
    RawEnd toPad(padPeerFd);
    auto mac = endpoint(macFd, SessionRole::mac, memoryStore(Bytes(32, 0x01)),
                        *Uuid::parse("01000000-0000-0000-0000-000000000001"), std::nullopt, true,
                        {timers, clock, SecretBytes(Bytes(32, 0x11)), Bytes(32, 0x21)});
    auto pad =
        endpoint(padFd, SessionRole::pad, memoryStore(Bytes(32, 0x02)), padIntent, std::nullopt,
                 true, {timers, clock, SecretBytes(Bytes(32, 0x12)), Bytes(32, 0x22)});
    mac.channel->start();
    pad.channel->start();
    // One line from each side, handed to the other.
    const auto exchange = [&] {
        const auto macLine = toMac.readLine();
        const auto padLine = toPad.readLine();
        EXPECT_TRUE(macLine && padLine && toPad.write(*macLine + "\n") &&
                    toMac.write(*padLine + "\n"));
        return std::pair(packetOf(macLine.value_or("")), packetOf(padLine.value_or("")));
    };

    const auto [macCommit, padCommit] = exchange();
    ASSERT_TRUE(macCommit && padCommit);
    EXPECT_EQ(
        macCommit->encodeLine(),
        R"({"version":9,"kind":"commit","data":"eZ+NaTc5TPW//luKLCwb9Mf1HXU5T6roDsszdxl7XY4="})"
        "\n");
    EXPECT_EQ(hexString(padCommit->data),
              "0390e7e0574cbfccbf03e15ae153652d2e06843e0d8f9782af426ff8d9c070a7");
    const auto [macHello, padHello] = exchange();
    ASSERT_TRUE(macHello && padHello);
    EXPECT_EQ(
        std::string(padHello->data.begin(), padHello->data.end()),
        R"({"role":"pad","name":"Test iPad","identity":"gTl3Dqh9F19Wo1Rmw0x+zMuNipG07jeiXfYPW4/Js5Q=","ephemeral":"BSpQdzrI2Rdz8tyWYuEvDe/pFeQVuKHI4gpaPWqyuEM=","nonce":"IiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiI=","intent":"02000000-0000-0000-0000-000000000001","signature":"glHHD8KkPKGQHb0yCiyzejEIQ8tE4OW4bV+F3lguaoFl0ZjF21h0neahfE7ahEEmf1SRi4KA+YdrLTuU3CjcCA=="})");
    const auto [macSealed, padSealed] = exchange();
    ASSERT_TRUE(macSealed && padSealed);
    EXPECT_EQ(
        padSealed->encodeLine(),
        R"({"version":9,"kind":"sealed","data":"6R9ZYOxL0wbWaLMhYT4DmdJdHaa4ohoVaq8540aiphT8stkBGAa5sn+0Gz42VQ=="})"
        "\n");

    // The transcript and keys that follow from the commits on the wire; the host's first record
    // opens under its key.
    const auto shared =
        crypto::X25519PrivateKey::fromRaw(Bytes(32, 0x11))
            ->sharedSecret(crypto::X25519PrivateKey::fromRaw(Bytes(32, 0x12))->publicKey());
    ASSERT_TRUE(shared);
    EXPECT_EQ(hexString(shared->view()),
              "0a8b7643c0576a2cf7023b77d98843922eabbc844d39766cc8eaaf7dd355753e");
    auto keys = session_crypto::deriveKeys(session_crypto::Side::mac, shared->view(),
                                           macCommit->data, padCommit->data);
    ASSERT_TRUE(keys);
    EXPECT_EQ(hexString(keys->transcript),
              "2616256a984d955664b371ce7fb911c274b439974a467f37f038b32ba15727c7");
    EXPECT_EQ(hexString(keys->sendKey.view()) + " / " + hexString(keys->sendIV.view()),
              "d3be9ed7757366e0ab9d1b4928e03b09f5ef0e4e146deec329c7254d251fa57f / "
              "95bbb634a5fc5e86e3c80f85");
    EXPECT_EQ(hexString(keys->receiveKey.view()) + " / " + hexString(keys->receiveIV.view()),
              "9b6a8f1ad7fbc81d7d5a61473a291c2e63d2ed0da0825742a42ea0c251354ba8 / "
              "f67ce0f5a31324eae2a96217");
    session_crypto::RecordOpener opener(keys->sendKey, keys->sendIV);
    const auto opened = opener.open(macSealed->data);
    ASSERT_TRUE(opened);
    EXPECT_EQ(std::string(opened->begin(), opened->end()), R"({"kind":"unknown","counter":0})");

    ASSERT_TRUE(runUntil([&] { return mac.events->code && pad.events->code; }));
    EXPECT_EQ(*mac.events->code, "257888");
    EXPECT_EQ(*pad.events->code, "257888");
    ASSERT_EQ(mac.events->peers.size(), 1u);
    EXPECT_EQ(mac.events->peers[0].first.id(),
              "6a3803d5f059902a1c6dafbc9ba4729212f7caac08634cc3ae76b27529f03827");
    EXPECT_EQ(mac.events->peers[0].second, padIntent);
    ASSERT_EQ(pad.events->peers.size(), 1u);
    EXPECT_EQ(pad.events->peers[0].first.id(),
              "34750f98bd59fcfc946da45aaabe933be154a4b5094e1c4abf42866505f3c97e");
}

// Two real channels wired to each other, each with its own trust store.
class LinkedChannels : public ChannelTest {
  protected:
    struct Link {
        Endpoint mac;
        Endpoint pad;
    };

    Link connect(Uuid padIntent = Uuid::random(),
                 std::optional<std::string> expectedPeer = std::nullopt, bool allowPairing = true,
                 std::pair<int, int> fds = socketPair()) {
        Link link{endpoint(fds.first, SessionRole::mac, macStore, Uuid::random()),
                  endpoint(fds.second, SessionRole::pad, padStore, padIntent,
                           std::move(expectedPeer), allowPairing)};
        link.mac.channel->start();
        link.pad.channel->start();
        return link;
    }

    bool ready(const Link& link) {
        return runUntil(
            [&] { return link.mac.events->readyCount == 1 && link.pad.events->readyCount == 1; });
    }

    // Both users confirm the code, the host first or the tablet first.
    void pair(Link& link, bool hostFirst) {
        ASSERT_TRUE(runUntil([&] { return link.mac.events->code && link.pad.events->code; }));
        EXPECT_EQ(*link.mac.events->code, *link.pad.events->code);
        EXPECT_EQ(link.mac.events->code->size(), 6u);
        auto& first = hostFirst ? link.mac : link.pad;
        auto& second = hostFirst ? link.pad : link.mac;
        EXPECT_TRUE(first.channel->approve());
        ASSERT_TRUE(runUntil([&] { return second.events->has("approval 01"); }));
        EXPECT_TRUE(first.events->has("approval 10"));
        EXPECT_EQ(second.events->readyCount, 0);
        EXPECT_TRUE(second.channel->approve());
        EXPECT_TRUE(second.channel->approve());  // approving again is harmless
        ASSERT_TRUE(ready(link));
        EXPECT_TRUE(first.events->has("approval 11") && second.events->has("approval 11"));
    }

    std::shared_ptr<DeviceTrustStore> macStore = memoryStore();
    std::shared_ptr<DeviceTrustStore> padStore = memoryStore();
};

TEST_F(LinkedChannels, PairsInEitherOrderReconnectsWithoutCodeAndStopsFromEitherSide) {
    for (const bool hostFirst : {true, false}) {
        SCOPED_TRACE(hostFirst ? "host confirms first, tablet stops" : "tablet first, host stops");
        macStore = memoryStore();
        padStore = memoryStore();
        auto first = connect();
        pair(first, hostFirst);
        EXPECT_LT(first.mac.events->at("peer "), first.mac.events->at("ready"));
        ASSERT_EQ(macStore->peers().size(), 1u);
        EXPECT_EQ(macStore->peers()[0].name, "Test iPad");
        ASSERT_EQ(padStore->peers().size(), 1u);
        EXPECT_EQ(padStore->peers()[0].name, "Test Mac");
        EXPECT_EQ(padStore->peers()[0].id(), macStore->fingerprint());

        auto second = connect(Uuid::random(), macStore->fingerprint(), false);
        ASSERT_TRUE(ready(second));
        EXPECT_FALSE(second.mac.events->code || second.pad.events->code);
        EXPECT_TRUE(second.mac.channel->approve());
        EXPECT_LT(second.mac.events->at("peer "), second.mac.events->at("ready"));

        auto& stopper = hostFirst ? second.pad : second.mac;
        auto& other = hostFirst ? second.mac : second.pad;
        EXPECT_TRUE(stopper.channel->stop());
        EXPECT_TRUE(stopper.channel->stop());
        EXPECT_FALSE(stopper.channel->approve());
        // The peer hangs up at once; that does not turn our own stop into an interruption.
        ASSERT_TRUE(runUntil(
            [&] { return other.events->endedCount == 1 && stopper.events->endedCount == 1; }));
        EXPECT_EQ(other.events->end->message(), "Disconnected");
        EXPECT_EQ(stopper.events->end, ConnectionEnd(End::stopped));
        EXPECT_EQ(macStore->peers().size(), 1u);
    }
}

TEST_F(LinkedChannels, StoppedIntentIsRefusedWhileANewIntentPairs) {
    const auto intent = Uuid::random();
    auto first = connect(intent);
    pair(first, true);
    ASSERT_TRUE(first.mac.channel->stop());
    EXPECT_TRUE(macStore->isStopped(macStore->peers()[0].id(), intent));
    ASSERT_TRUE(runUntil([&] { return first.pad.events->endedCount == 1; }));

    // An automatic reconnect with the stopped intent.
    auto again = connect(intent, macStore->fingerprint(), false);
    ASSERT_TRUE(runUntil([&] { return again.pad.events->endedCount == 1; }));
    timers->advance(PenChannel::stopDelay);
    ASSERT_TRUE(runUntil([&] { return again.mac.events->endedCount == 1; }));
    for (const auto& side : {again.mac, again.pad}) {
        EXPECT_EQ(side.events->end, ConnectionEnd(End::stopped));
        EXPECT_EQ(side.events->readyCount, 0);
    }

    // The user connects again: a new intent is let in.
    ASSERT_TRUE(ready(connect(Uuid::random(), macStore->fingerprint(), true)));
}

TEST_F(LinkedChannels, RefusedHostsEndBothSides) {
    struct Case {
        std::optional<std::string> expectedPeer;
        bool allowPairing;
        End pad;
        End mac;
    };
    for (const auto& refused :
         {Case{std::nullopt, false, End::trustRequired, End::stopped},
          Case{std::string(64, '0'), true, End::identityChanged, End::interrupted}}) {
        SCOPED_TRACE(static_cast<int>(refused.pad));
        auto link = connect(Uuid::random(), refused.expectedPeer, refused.allowPairing);
        ASSERT_TRUE(runUntil([&] { return link.mac.events->endedCount == 1; }));
        timers->advance(PenChannel::stopDelay);
        ASSERT_TRUE(runUntil([&] { return link.pad.events->endedCount == 1; }));
        EXPECT_EQ(link.pad.events->end, ConnectionEnd(refused.pad));
        EXPECT_EQ(link.mac.events->end, ConnectionEnd(refused.mac));
        EXPECT_FALSE(link.pad.events->code);
        EXPECT_EQ(link.mac.events->endedReceived, 1);
    }
}

TEST_F(LinkedChannels, StorageFailuresEndTheLinkAsStorage) {
    auto item = std::make_shared<MemorySecret>();
    macStore = DeviceTrustStore::open(item).store;
    item->failWrites = true;
    auto refused = connect();
    ASSERT_TRUE(runUntil([&] { return refused.mac.events->code && refused.pad.events->code; }));
    EXPECT_TRUE(refused.pad.channel->approve());
    EXPECT_TRUE(refused.mac.channel->approve());
    ASSERT_TRUE(runUntil([&] { return refused.mac.events->endedCount == 1; }));
    EXPECT_EQ(refused.mac.events->end, ConnectionEnd(End::storage));
    EXPECT_EQ(refused.pad.events->readyCount, 0);
    EXPECT_TRUE(macStore->peers().empty());

    // A stop that cannot be recorded is reported as such.
    item->failWrites = false;
    auto link = connect();
    pair(link, true);
    item->failWrites = true;
    EXPECT_FALSE(link.mac.channel->stop());
    ASSERT_TRUE(runUntil([&] { return link.mac.events->endedCount == 1; }));
    EXPECT_EQ(link.mac.events->end, ConnectionEnd(End::storage));
}

// Everything the two sides send each other, including the largest payloads, over 127.0.0.1.
TEST_F(LinkedChannels, CarriesInputAndSignalsOverLoopbackTcp) {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    asio::ip::tcp::socket client(io);
    client.connect(acceptor.local_endpoint());
    auto link = connect(Uuid::random(), std::nullopt, true,
                        {StreamConnection::fromSocket(acceptor.accept()).release(),
                         StreamConnection::fromSocket(std::move(client)).release()});
    pair(link, false);

    const std::vector<PenSample> samples{movedSample(0.5, 0), movedSample(0.5, 1),
                                         movedSample(0.5, 2)};
    link.pad.channel->send(samples);
    link.pad.channel->send(std::vector<PenSample>{});
    // The largest input batch fits in one line.
    const PenSample longest{0,
                            PenSample::Phase::moved,
                            0.123456789012345,
                            0.987654321098765,
                            0.333333333333333,
                            1.234567890123456,
                            -2.345678901234567,
                            123456.789012345,
                            Uuid::random()};
    link.pad.channel->send(std::vector<PenSample>(SessionPayload::maxSamples, longest));
    ControlsSignal controls;
    controls.id = Uuid::random();
    controls.kind = ControlsSignal::Kind::listCommands;
    link.pad.channel->send(controls);

    // An oversize payload is dropped without breaking the sequence of what follows.
    ControlsSignal huge;
    huge.id = Uuid::random();
    huge.kind = ControlsSignal::Kind::commands;
    MenuCommand command;
    command.title = std::string(128, 't');
    command.path = std::vector<std::string>(6, std::string(128, 'p'));
    huge.commands = std::vector<MenuCommand>(120, command);
    ASSERT_TRUE(huge.isValid());
    link.mac.channel->send(huge);
    const auto context = editorContext();
    link.mac.channel->send(context);
    link.mac.channel->send(samples);  // wrong direction for the host: dropped, never sent
    ASSERT_TRUE(runUntil([&] {
        return link.mac.events->controls.size() == 1 && link.pad.events->contexts.size() == 1 &&
               link.mac.events->samplesReceived == 3 + int(SessionPayload::maxSamples);
    }));
    EXPECT_EQ(link.mac.events->cancelledReceived, 1);
    EXPECT_EQ(link.mac.events->controls[0], controls);
    EXPECT_EQ(link.pad.events->contexts[0], context);
    EXPECT_TRUE(link.pad.events->controls.empty());
    EXPECT_EQ(link.pad.events->endedCount + link.mac.events->endedCount, 0);
}

}  // namespace
}  // namespace quillory
