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

TEST(PacketPacer, LetsASteadyFrameGoAtOnceAndSpreadsAKeyframeWithinTheLongestDelay) {
    // At 1 Mbit/s the pacing rate is 2.5 Mbit/s and 10 ms of it are 25 kbit.
    constexpr double rate = 2.5e6;
    constexpr double burstBits = rate * 0.01;
    struct Case {
        const char* name;
        std::size_t bytes;
        double expectedSpan;  // ms, from the first packet's departure to the last one's
    };
    // 24 KB leave their first 25 kbit at once and the rest at the rate; 120 KB would take
    // 384 ms at the rate, so the rate rises to drain them within the 100 ms limit.
    for (const Case& c :
         {Case{"a steady frame", 2'400, 0},
          Case{"within the delay", 24'000, ((24'000 - packetBytes) * 8 - burstBits) / rate * 1e3},
          Case{"raised to the delay", 120'000, 100}}) {
        PacketPacer pacer(100 * ms, 1e6);
        std::int64_t clock = 1'000 * ms;
        pacer.frameQueued(1, c.bytes, clock);
        const std::vector<std::int64_t> departures = sendFrame(pacer, clock, 1, c.bytes);
        const double span = static_cast<double>(departures.back() - departures.front()) / 1e6;
        EXPECT_NEAR(span, c.expectedSpan, c.expectedSpan * 0.1 + 0.01) << c.name;
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

    // Twenty retransmissions leave back to back only for the burst allowance, then one every
    // packet's time at the rate.
    for (int index = 0; index < 20; ++index) {
        clock += pacer.wait(clock);
        pacer.retransmissionSent(packetBytes, clock);
    }
    const double expected = 19 * packetBytes * 8 / 10e6 * 1e9 - PacketPacer::burstNanoseconds;
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
    // On time the 20 packets take 63 ms; losing the 2 ms a turn they would take 103 ms.
    EXPECT_LT(clock, 70 * ms);

    clock += 1000 * ms;
    pacer.frameQueued(2, bytes, clock);
    int atOnce = 0;
    while (pacer.wait(clock) == 0 && atOnce < 20) {
        pacer.mediaSent(packetBytes, 2, false, clock);
        ++atOnce;
    }
    // The burst allowance, 25 kbit, and not the second of idle time before the frame.
    EXPECT_EQ(atOnce, 3);
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

// At 1 Mbit/s, 10 ms of the 2.5 Mbit/s pacing rate leave at once: a steady frame is no burst,
// a keyframe is until it has left.
TEST(PacingGate, TellsABurstWaitingFromAFrameThatLeavesAtOnce) {
    std::int64_t clock = 0;
    PacingGate gate(100 * ms, 1e6, [&clock] { return clock; });
    gate.frameQueued(1, 2'400);
    EXPECT_FALSE(gate.burstWaiting());
    gate.passMedia(packetBytes, 1, false);
    gate.passMedia(packetBytes, 1, true);
    gate.frameQueued(2, 24'000);
    EXPECT_TRUE(gate.burstWaiting());
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
