#include "tests/support/udp_relay.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quillory::testing {
namespace {

// One side of the conversation: a loopback socket and a description naming it.
struct Endpoint {
    int fd = -1;
    std::uint16_t port = 0;

    Endpoint() {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~Endpoint() { ::close(fd); }

    std::string description() const {
        return "v=0\r\nm=video 9 UDP/TLS/RTP/SAVPF 96 97\r\na=rtpmap:96 H264/90000\r\n"
               "a=rtpmap:97 rtx/90000\r\na=candidate:1 1 UDP 2015363327 "
               "127.0.0.1 " +
               std::to_string(port) +
               " typ host\r\na=candidate:2 1 UDP 2015363326 127.0.0.1 1 typ host\r\n"
               "a=candidate:3 1 TCP 1015363327 127.0.0.1 9 typ host tcptype active\r\n";
    }

    // An RTP header of the payload type when one is given, else filler.
    void sendTo(std::uint16_t to, std::size_t size, int payloadType = -1,
                bool padding = false) const {
        std::vector<std::uint8_t> bytes(size, 7);
        if (payloadType >= 0) {
            bytes[0] = padding ? 0xa0 : 0x80;
            bytes[1] = static_cast<std::uint8_t>(payloadType);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(to);
        ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address),
                 sizeof(address));
    }

    // Packets that arrive until none came for the quiet time.
    int drain(int quietMilliseconds = 400) const {
        int count = 0;
        std::vector<std::uint8_t> buffer(2048);
        pollfd descriptor{fd, POLLIN, 0};
        while (::poll(&descriptor, 1, quietMilliseconds) > 0) {
            if (::recv(fd, buffer.data(), buffer.size(), 0) > 0) {
                ++count;
            }
        }
        return count;
    }
};

std::uint16_t candidatePort(const std::string& sdp) {
    const auto at = sdp.find("a=candidate:");
    std::string line = sdp.substr(at, sdp.find("\r\n", at) - at);
    std::vector<std::string> parts;
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
        end = line.find(' ', start);
        parts.push_back(line.substr(start, end - start));
    }
    return static_cast<std::uint16_t>(std::stoul(parts.at(5)));
}

class UdpRelayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        relay = UdpRelay::create(7);
        ASSERT_TRUE(relay);
        const std::string offer = relay->rewriteOffer(sender.description());
        const std::string answer = relay->rewriteAnswer(answerer.description());
        // Each side is left with one UDP candidate, on the relay.
        EXPECT_EQ(offer.find("a=candidate:2"), std::string::npos);
        EXPECT_EQ(offer.find("TCP"), std::string::npos);
        toAnswerer = candidatePort(offer);
        toSender = candidatePort(answer);
        EXPECT_NE(toAnswerer, answerer.port);
        EXPECT_NE(toSender, sender.port);
    }

    void sendBurst(int count, std::size_t size = 1000, int payloadType = -1, bool padding = false) {
        for (int index = 0; index < count; ++index) {
            sender.sendTo(toSender, size, payloadType, padding);
        }
    }

    Endpoint sender;
    Endpoint answerer;
    std::unique_ptr<UdpRelay> relay;
    std::uint16_t toAnswerer = 0;  // where the answerer sends, as its offer says
    std::uint16_t toSender = 0;    // where the sender sends, as its answer says
};

TEST_F(UdpRelayTest, ForwardsBothWays) {
    sendBurst(20);
    EXPECT_EQ(answerer.drain(), 20);
    answerer.sendTo(toAnswerer, 100);
    EXPECT_EQ(sender.drain(), 1);
    const auto counters = relay->counters();
    EXPECT_EQ(counters.forwardedToAnswerer, 20u);
    EXPECT_EQ(counters.forwardedToSender, 1u);
    EXPECT_EQ(counters.bytesToAnswerer, 20'000u);
}

TEST_F(UdpRelayTest, ShapingDropsAsConfiguredAndCanBeLifted) {
    // Rounds small enough for the sockets' buffers.
    relay->setShaping({.lossFraction = 0.2});
    int arrived = 0;
    for (int round = 0; round < 8; ++round) {
        sendBurst(50, 200);
        arrived += answerer.drain(200);
    }
    EXPECT_EQ(static_cast<std::uint64_t>(arrived) + relay->counters().lost, 400u);
    EXPECT_NEAR(arrived, 320, 32);

    // 0.5 Mbit/s with a 250 ms queue holds about 62 packets of 250 bytes; the rest drop.
    relay->setShaping({.rateBps = 0.5e6});
    sendBurst(100, 250);
    const int capped = answerer.drain();
    EXPECT_NEAR(capped, 63, 3);
    EXPECT_EQ(relay->counters().queueDrops, static_cast<std::uint64_t>(100 - capped));
    // Each packet let in waits behind those before it, up to the queue's bound: a burst's last
    // packets wait the longest.
    const auto waits = relay->queueWaits();
    ASSERT_EQ(waits.size(), static_cast<std::size_t>(capped));
    EXPECT_LT(waits.front().seconds, 0.01);
    EXPECT_GT(waits.back().seconds, UdpRelay::queueSeconds * 0.9);
    EXPECT_LE(waits.back().seconds, UdpRelay::queueSeconds);
    EXPECT_EQ(relay->takeLongestWait(), waits.back().seconds);
    EXPECT_EQ(relay->takeLongestWait(), 0);

    EXPECT_EQ(relay->counters().retransmissionQueueDrops, 0u);

    // What the cap drops is told apart by stream: the offer maps 97 to retransmissions, and an
    // RTCP packet type (200) is not one.
    answerer.drain();
    const auto before = relay->counters();
    sendBurst(70, 250, 96);
    sendBurst(20, 250, 97);
    sendBurst(10, 250, 200);
    answerer.drain();
    const auto after = relay->counters();
    EXPECT_EQ(after.retransmissionQueueDrops - before.retransmissionQueueDrops, 20u);
    EXPECT_GT(after.queueDrops - before.queueDrops, 30u);
    // Each drop is kept with its time, for a test to count those of one span.
    const auto drops = relay->queueDrops();
    EXPECT_EQ(drops.size(), after.queueDrops);
    EXPECT_EQ(std::count_if(drops.begin(), drops.end(),
                            [](const UdpRelay::Drop& drop) { return drop.retransmission; }),
              20);

    relay->setShaping({.blackout = true});
    sendBurst(10);
    answerer.sendTo(toAnswerer, 100);
    EXPECT_EQ(answerer.drain(), 0);
    EXPECT_EQ(sender.drain(), 0);
    EXPECT_EQ(relay->counters().blackoutDrops, 11u);

    relay->setShaping({});
    sendBurst(10);
    EXPECT_EQ(answerer.drain(), 10);
}

// Padding alone on the retransmission stream is a probe. Media the cap drops behind queued probes,
// where it would have fit without them, is lost to probes; media dropped behind media is not.
TEST_F(UdpRelayTest, TellsProbesAndWhatTheyPushedOutOfTheQueue) {
    relay->setShaping({.rateBps = 0.5e6});
    sendBurst(40, 250, 97, true);
    sendBurst(40, 250, 96);
    answerer.drain();
    const auto counters = relay->counters();
    EXPECT_EQ(counters.probes, 40u);
    EXPECT_EQ(counters.probeQueueDrops, 0u);
    auto drops = relay->queueDrops();
    ASSERT_FALSE(drops.empty());
    for (const auto& drop : drops) {
        EXPECT_FALSE(drop.probe);
        EXPECT_TRUE(drop.lostToProbes);
    }

    sendBurst(100, 250, 96);
    answerer.drain();
    drops = relay->queueDrops();
    EXPECT_GT(drops.size(), counters.queueDrops);
    EXPECT_TRUE(std::none_of(drops.begin() + static_cast<std::ptrdiff_t>(counters.queueDrops),
                             drops.end(), [](const auto& drop) { return drop.lostToProbes; }));
}

TEST(UdpRelayRewriteTest, DescriptionWithoutUdpCandidateGivesNothing) {
    auto relay = UdpRelay::create();
    ASSERT_TRUE(relay);
    EXPECT_EQ(relay->rewriteOffer("v=0\r\nm=video 9 UDP/TLS/RTP/SAVPF 96\r\n"), "");
}

}  // namespace
}  // namespace quillory::testing
