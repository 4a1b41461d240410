#include "platform/webrtc/gstreamer/packet_pacer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace quillory {
namespace {

constexpr std::int64_t ms = 1'000'000;
constexpr std::size_t packetBytes = 1200;

// Sends `bytes` of frame `timestamp` as packets, each as soon as the pacer lets it, on a clock
// that only moves by the waits: the departure of every packet.
std::vector<std::int64_t> sendFrame(PacketPacer& pacer, std::int64_t& clock,
                                    std::uint32_t timestamp, std::size_t bytes) {
    std::vector<std::int64_t> departures;
    for (std::size_t sent = 0; sent < bytes; sent += packetBytes) {
        clock += pacer.wait(clock);
        EXPECT_EQ(pacer.wait(clock), 0);
        pacer.mediaSent(packetBytes, timestamp, sent + packetBytes >= bytes, clock);
        departures.push_back(clock);
    }
    return departures;
}

TEST(PacketPacer, SpreadsAKeyframeAtTheTargetsMultipleWithinTheLongestDelay) {
    struct Case {
        const char* name;
        double targetBps;
        std::size_t keyframeBytes;
        double expectedBps;  // over the whole frame
    };
    // 24 KB at 2.5 x 1 Mbit/s takes 77 ms, under the 100 ms limit; 120 KB would take 384 ms, so
    // the rate rises to drain it in 100 ms.
    for (const Case& c : {Case{"within the delay", 1e6, 24'000, 2.5e6},
                          Case{"raised to the delay", 1e6, 120'000, 120'000 * 8 / 0.1}}) {
        PacketPacer pacer(100 * ms, c.targetBps);
        std::int64_t clock = 1'000 * ms;
        pacer.frameQueued(1, c.keyframeBytes, clock);
        const std::vector<std::int64_t> departures = sendFrame(pacer, clock, 1, c.keyframeBytes);
        const double span = static_cast<double>(departures.back() - departures.front()) / 1e9;
        const double rate =
            static_cast<double>(c.keyframeBytes - packetBytes) * 8.0 / span;  // last one's bits
        EXPECT_NEAR(rate, c.expectedBps, c.expectedBps * 0.05) << c.name;
        EXPECT_LE(departures.back() - departures.front(), 100 * ms) << c.name;
        EXPECT_GT(departures.back() - departures.front(), 50 * ms) << c.name << ": not spread";
        EXPECT_EQ(pacer.queuedBytes(), 0u) << c.name;
    }
}

TEST(PacketPacer, FollowsTheTargetAndPutsRetransmissionsIntoTheSameBudget) {
    PacketPacer pacer(100 * ms, 1e6);
    std::int64_t clock = 0;
    // No queued frame: the target's multiple alone.
    EXPECT_DOUBLE_EQ(pacer.rateBps(clock), 2.5e6);
    pacer.setTargetBitrate(4e6);
    EXPECT_DOUBLE_EQ(pacer.rateBps(clock), 10e6);

    // Ten retransmissions leave back to back only for the burst allowance, then one every
    // packet's time at the rate.
    for (int index = 0; index < 10; ++index) {
        clock += pacer.wait(clock);
        pacer.retransmissionSent(packetBytes, clock);
    }
    const double expected = 9 * packetBytes * 8 / 10e6 * 1e9 - PacketPacer::burstNanoseconds;
    EXPECT_NEAR(static_cast<double>(clock), expected, 0.02 * expected);
    // Media after them waits for the budget they used.
    EXPECT_GT(pacer.wait(clock), 0);
}

TEST(PacketPacer, MakesUpForLateTurnsWhileAFrameWaitsButBanksNothingWhenIdle) {
    PacketPacer pacer(100 * ms, 1e6);  // 2.5 Mbit/s: a packet every 3.84 ms
    std::int64_t clock = 0;
    constexpr std::size_t bytes = 24'000;
    pacer.frameQueued(1, bytes, clock);
    for (std::size_t sent = 0; sent < bytes; sent += packetBytes) {
        clock += pacer.wait(clock) + 2 * ms;  // every turn taken 2 ms late, as on a busy machine
        pacer.mediaSent(packetBytes, 1, sent + packetBytes >= bytes, clock);
    }
    // On time the 20 packets take 73 ms; losing 2 ms a turn they would take 117 ms.
    EXPECT_LT(clock, 80 * ms);

    clock += 1000 * ms;
    pacer.frameQueued(2, bytes, clock);
    int atOnce = 0;
    while (pacer.wait(clock) == 0 && atOnce < 20) {
        pacer.mediaSent(packetBytes, 2, false, clock);
        ++atOnce;
    }
    EXPECT_EQ(atOnce, 1);
}

TEST(PacketPacer, ForgetsFramesDroppedOnTheWayAndLetsOverdueOnesGo) {
    PacketPacer pacer(100 * ms, 1e6);
    std::int64_t clock = 0;
    pacer.frameQueued(1, 50'000, clock);  // dropped before it was sent
    pacer.frameQueued(2, 2'400, clock);
    EXPECT_EQ(pacer.queuedBytes(), 52'400u);
    pacer.mediaSent(packetBytes, 2, false, clock);
    EXPECT_EQ(pacer.queuedBytes(), 1'200u);
    pacer.mediaSent(packetBytes, 2, true, clock);
    EXPECT_EQ(pacer.queuedBytes(), 0u);

    // A frame past the longest delay goes at once, however much debt there is.
    pacer.frameQueued(3, 120'000, clock);
    for (int index = 0; index < 50; ++index) {
        pacer.retransmissionSent(packetBytes, clock);
    }
    EXPECT_GT(pacer.wait(clock), 0);
    EXPECT_EQ(pacer.wait(clock + 100 * ms), 0);
}

TEST(PacingDelay, ReadsTheTrialsMaximumDelay) {
    EXPECT_EQ(pacingDelayNanoseconds({{"WebRTC-Video-Pacing", "max_delay:100ms"}}), 100 * ms);
    EXPECT_EQ(pacingDelayNanoseconds({{"WebRTC-Video-Pacing", "factor:2.5,max_delay:40ms"}}),
              40 * ms);
    for (const char* unreadable : {"max_delay:100", "max_delay:ms", "max_delay:0ms", "other"}) {
        EXPECT_EQ(pacingDelayNanoseconds({{"WebRTC-Video-Pacing", unreadable}}), std::nullopt)
            << unreadable;
    }
    EXPECT_EQ(pacingDelayNanoseconds({}), std::nullopt);
}

TEST(PacingGate, ClosingReleasesAHeldPacketAndEveryLaterOne) {
    std::int64_t clock = 0;  // never moves: only close() can end a wait
    auto gate = std::make_shared<PacingGate>(100 * ms, 1e3, [&clock] { return clock; });
    gate->passRetransmission(packetBytes);  // the first goes at once and leaves debt
    std::jthread held([gate] { gate->passMedia(packetBytes, 1, true); });
    gate->close();
    held.join();
    gate->passMedia(packetBytes, 2, true);
    gate->passRetransmission(packetBytes);
}

}  // namespace
}  // namespace quillory
