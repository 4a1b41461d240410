#include "platform/webrtc/delay_trend_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quillory {
namespace {

constexpr std::int64_t ms = 1'000'000;

// A sender of `fps` frames a second, each in one burst, through a bottleneck of `capBps` with a
// fixed 20 ms beyond it; feedback every 100 ms.
class CappedPath {
  public:
    CappedPath(double capBps, int fps) : capBps_(capBps), fps_(fps) {}

    // Sends at `sendBps` for `seconds` and returns every trend the detector gave after feedback.
    std::vector<DelayTrend> send(double sendBps, double seconds) {
        std::vector<DelayTrend> trends;
        constexpr std::size_t packetBytes = 1'200;
        const auto packetsPerFrame = std::max<std::size_t>(
            1, static_cast<std::size_t>(sendBps / fps_ / 8 / static_cast<double>(packetBytes)));
        const std::int64_t end = clock_ + static_cast<std::int64_t>(seconds * 1e9);
        for (; clock_ < end; clock_ += 1'000'000'000 / fps_) {
            for (std::size_t index = 0; index < packetsPerFrame; ++index) {
                detector_.packetSent(sequence_, clock_);
                const double serialised = static_cast<double>(packetBytes) * 8 / capBps_ * 1e9;
                freeAt_ = std::max(freeAt_, static_cast<double>(clock_)) + serialised;
                const auto arrival = static_cast<std::int64_t>(freeAt_ / 1e3) + 20'000;
                pending_.received.push_back({sequence_++, arrival});
                ++pending_.packetCount;
            }
            if (clock_ - lastFeedback_ >= 100 * ms) {
                pending_.baseSequence = pending_.received.front().sequence;
                detector_.feedback(pending_);
                trends.push_back(detector_.trend());
                pending_ = {};
                lastFeedback_ = clock_;
            }
        }
        return trends;
    }

  private:
    double capBps_;
    int fps_;
    DelayTrendDetector detector_;
    std::int64_t clock_ = 0;
    std::int64_t lastFeedback_ = 0;
    double freeAt_ = 0;                // when the bottleneck has sent what it holds, in nanoseconds
    std::uint16_t sequence_ = 65'000;  // wraps on the way
    TransportFeedback pending_;
};

TEST(DelayTrendDetector, FramesSentInBurstsUnderTheCapAreNoQueue) {
    // A frame at 10 fps is thirty packets that take 90 ms through the cap: read packet by packet,
    // their rising delays would fill the trend's window.
    for (const int fps : {60, 30, 10}) {
        CappedPath path(3e6, fps);
        for (const DelayTrend trend : path.send(2.8e6, 5)) {
            EXPECT_EQ(trend, DelayTrend::normal) << fps << " fps";
        }
    }
}

TEST(DelayTrendDetector, AQueueGrowingBehindTheCapIsOveruseAndItsDrainingUnderuse) {
    CappedPath path(3e6, 60);
    path.send(2e6, 2);
    const auto over = path.send(3.6e6, 1.5);
    const auto firstOveruse = std::find(over.begin(), over.end(), DelayTrend::overusing);
    ASSERT_NE(firstOveruse, over.end()) << "20 % over the cap";
    EXPECT_LE(firstOveruse - over.begin(), 5) << "within half a second";
    const auto draining = path.send(1.5e6, 1);
    EXPECT_NE(std::find(draining.begin(), draining.end(), DelayTrend::underusing), draining.end());
    const auto drained = path.send(1.5e6, 3);
    EXPECT_EQ(drained.back(), DelayTrend::normal);
}

}  // namespace
}  // namespace quillory
