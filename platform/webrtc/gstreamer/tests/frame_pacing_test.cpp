#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "platform/webrtc/gstreamer/frame_rate_limiter.h"
#include "platform/webrtc/gstreamer/keyframe_request_limiter.h"

namespace quillory {
namespace {

constexpr std::int64_t millisecond = 1'000'000;

int admitted(FrameRateLimiter& limiter, int sourceRate, int frames, std::int64_t jitter) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int64_t> noise(-jitter, jitter);
    int count = 0;
    for (int index = 0; index < frames; ++index) {
        const std::int64_t at = 1'000'000'000 + std::int64_t{index} * (1'000'000'000 / sourceRate);
        count += limiter.admit(at + (jitter > 0 ? noise(random) : 0)) ? 1 : 0;
    }
    return count;
}

TEST(FrameRateLimiterTest, KeepsTheRequestedRateWhateverTheSourceRate) {
    struct Case {
        int maximum;
        int source;
        std::int64_t jitter;
        int expectedOf600;
    };
    const Case cases[] = {
        {30, 30, 0, 600}, {30, 30, 8 * millisecond, 600},
        {30, 60, 0, 300}, {30, 60, 3 * millisecond, 300},
        {20, 60, 0, 200}, {60, 30, 0, 600},
        {0, 60, 0, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.maximum << " of " << c.source << " ± " << c.jitter);
        FrameRateLimiter limiter;
        limiter.setMaximumRate(c.maximum);
        EXPECT_NEAR(admitted(limiter, c.source, 600, c.jitter), c.expectedOf600, 2);
    }
}

TEST(FrameRateLimiterTest, APauseLetsNoBurstThrough) {
    FrameRateLimiter limiter;
    limiter.setMaximumRate(10);
    EXPECT_TRUE(limiter.admit(0));
    // Two seconds later, frames at 60 fps: the schedule restarts from the late frame.
    int count = 0;
    for (int index = 0; index < 60; ++index) {
        count += limiter.admit(2'000'000'000 + std::int64_t{index} * 16'666'667) ? 1 : 0;
    }
    EXPECT_NEAR(count, 10, 1);
}

TEST(KeyframeRequestLimiterTest, AtMostOneForcedKeyframePerIntervalAndNoRequestLost) {
    KeyframeRequestLimiter limiter;
    std::vector<std::int64_t> forced;
    std::int64_t lastRequest = 0;
    // Frames every 33 ms for 1.5 s; ten requests in the first second, one every 100 ms.
    for (std::int64_t at = 0; at <= 1500 * millisecond; at += 33 * millisecond) {
        if (at < 1000 * millisecond &&
            at / (100 * millisecond) != (at - 33 * millisecond) / (100 * millisecond)) {
            limiter.request();
            lastRequest = at;
        }
        if (limiter.forceKeyframe(at)) {
            forced.push_back(at);
        }
    }
    ASSERT_FALSE(forced.empty());
    for (std::size_t index = 1; index < forced.size(); ++index) {
        EXPECT_GE(forced[index] - forced[index - 1], 300 * millisecond);
    }
    EXPECT_GE(forced.back(), lastRequest);
    EXPECT_FALSE(limiter.pending());
}

TEST(KeyframeRequestLimiterTest, AStartKeyframeCountsAgainstTheInterval) {
    KeyframeRequestLimiter limiter;
    limiter.keyframeSent(0);
    limiter.request();
    EXPECT_FALSE(limiter.forceKeyframe(100 * millisecond));
    EXPECT_TRUE(limiter.pending());
    EXPECT_TRUE(limiter.forceKeyframe(300 * millisecond));
    EXPECT_FALSE(limiter.forceKeyframe(700 * millisecond));
}

}  // namespace
}  // namespace quillory
