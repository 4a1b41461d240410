#include "app/desktop-control/presentation_timer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace quillory::testing {
namespace {

constexpr std::uint64_t ms = 1'000'000;
constexpr std::uint64_t second = 1'000'000'000;

// Drives the grid the way the timer does: each wait as asked, plus `late(i)` nanoseconds of
// lateness for tick i (negative when the event loop's clock runs a little ahead of ours).
// Returns each tick's time and the frame it ticked for.
struct Tick {
    std::uint64_t at;
    std::uint64_t frame;
};
template <typename Late>
std::vector<Tick> run(std::size_t ticks, Late late) {
    std::vector<Tick> out;
    std::uint64_t frame = 1;
    std::uint64_t elapsed = 0;
    for (std::size_t i = 0; i < ticks; ++i) {
        const auto wait =
            static_cast<std::int64_t>(PresentationTimer::waitFor(frame, elapsed).count());
        elapsed = static_cast<std::uint64_t>(static_cast<std::int64_t>(elapsed) + wait * 1'000'000 +
                                             late(i));
        out.push_back({elapsed, frame});
        frame = PresentationTimer::nextFrame(frame, elapsed);
    }
    return out;
}

// The most ticks in any window [t, t + 1 s) that starts at a tick.
std::size_t busiestSecond(const std::vector<Tick>& ticks) {
    std::size_t most = 0;
    for (std::size_t i = 0, j = 0; i < ticks.size(); ++i) {
        while (j < ticks.size() && ticks[j].at < ticks[i].at + second) {
            ++j;
        }
        most = std::max(most, j - i);
    }
    return most;
}

TEST(PresentationTimer, FramesAreSixtiethsOfASecondThatAddUpExactly) {
    EXPECT_EQ(PresentationTimer::frameTime(0), 0u);
    EXPECT_EQ(PresentationTimer::frameTime(1), 16'666'667u);
    EXPECT_EQ(PresentationTimer::frameTime(2), 33'333'334u);
    EXPECT_EQ(PresentationTimer::frameTime(3), 50'000'000u);
    EXPECT_EQ(PresentationTimer::frameTime(60), second);
    // A century of frames, far past where frame * 1e9 would overflow.
    const std::uint64_t century = 60ull * 3600 * 24 * 36525;
    EXPECT_EQ(PresentationTimer::frameTime(century), 3600ull * 24 * 36525 * second);
    EXPECT_EQ(PresentationTimer::frameTime(century + 1),
              3600ull * 24 * 36525 * second + 16'666'667);
}

// A timer of whole milliseconds that fires when asked: 16 ms would tick 625 times in 10 s.
TEST(PresentationTimer, OnTimeTicksComeSixtyASecondWithoutDrift) {
    const auto ticks = run(6000, [](std::size_t) { return std::int64_t{0}; });
    EXPECT_EQ(ticks[599].at, 10 * second);
    EXPECT_EQ(ticks.back().at, 100 * second);
    EXPECT_EQ(busiestSecond(ticks), 60u);
    for (const Tick& tick : ticks) {
        // Each within the millisecond after its frame begins.
        ASSERT_GE(tick.at, PresentationTimer::frameTime(tick.frame));
        ASSERT_LT(tick.at, PresentationTimer::frameTime(tick.frame) + ms);
    }
}

TEST(PresentationTimer, ALateTickSkipsTheFramesItMissedAndAnEarlyOneIsNotRepeated) {
    // Frame 10 ticks 40 ms late, during frame 12: the next tick is frame 13, at its time.
    const auto late = run(12, [](std::size_t i) { return i == 9 ? std::int64_t(40 * ms) : 0; });
    EXPECT_EQ(late[9].frame, 10u);
    EXPECT_EQ(late[10].frame, 13u);
    EXPECT_EQ(late[10].at, 217 * ms);  // frame 13 begins at 216.67 ms
    EXPECT_EQ(late[11].frame, 14u);

    // The event loop fires before frame 5 begins by our clock (at 83 ms): frame 6 comes next,
    // a whole frame later, not frame 5 again a millisecond later.
    const auto early = run(7, [](std::size_t i) { return i == 4 ? -std::int64_t(ms) : 0; });
    EXPECT_EQ(early[4].frame, 5u);
    EXPECT_EQ(early[5].frame, 6u);
    EXPECT_EQ(early[5].at, 100 * ms);
}

// Lateness of up to 3 ms and an occasional stall of a fifth of a second: every tick has
// a frame of its own, in order, and no second holds more than one tick over 60.
TEST(PresentationTimer, RandomLatenessNeverTicksAFrameTwiceOrRunsAhead) {
    std::mt19937_64 random(56);
    std::uniform_int_distribution<std::int64_t> jitter(0, 3 * std::int64_t(ms));
    std::bernoulli_distribution stall(0.01);
    const auto ticks = run(20'000, [&](std::size_t) {
        return stall(random) ? std::int64_t(200 * ms) : jitter(random);
    });
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        ASSERT_GT(ticks[i].frame, ticks[i - 1].frame) << i;
        ASSERT_GT(ticks[i].at, ticks[i - 1].at) << i;
    }
    EXPECT_LE(busiestSecond(ticks), 61u);
    EXPECT_LE(ticks.size(), ticks.back().at * 60 / second + 1);
}

}  // namespace
}  // namespace quillory::testing
