#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>

#include "platform/webrtc/gstreamer/frame_rate_limiter.h"
#include "platform/webrtc/gstreamer/keyframe_request_limiter.h"
#include "platform/webrtc/gstreamer/picture_loss_limiter.h"

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
    // A still screen sends its repeat when the interval ends.
    EXPECT_EQ(limiter.wait(100 * millisecond), 200 * millisecond);
    EXPECT_EQ(limiter.wait(300 * millisecond), 0);
    EXPECT_TRUE(limiter.forceKeyframe(300 * millisecond));
    EXPECT_FALSE(limiter.forceKeyframe(700 * millisecond));
}

TEST(PictureLossLimiterTest, OneRequestPerRoundTripAndTwoPerSecond) {
    enum class Kind { loss, retry, keyframe };
    struct Step {
        std::int64_t atMs;
        Kind kind;
        bool sent;  // for a loss or a retry
        std::optional<std::int64_t> retryAtMs;
    };
    // Before any answer the round trip is taken as 300 ms; each keyframe answering a request
    // measures it anew.
    const Step steps[] = {
        {0, Kind::loss, true, {}},
        {100, Kind::loss, false, 300},  // inside the round trip: kept
        {200, Kind::retry, false, 300},
        {300, Kind::retry, true, {}},
        {400, Kind::loss, false, 1000},    // two went out in the last second
        {450, Kind::keyframe, false, {}},  // repairs the kept loss; 450 ms since the first request
        {1000, Kind::retry, false, {}},
        {1000, Kind::loss, true, {}},
        {1100, Kind::keyframe, false, {}},  // a quick answer: 100 ms
        {1200, Kind::loss, false, 1300},    // the round trip allows it, two a second do not
        {1300, Kind::retry, true, {}},
        {2400, Kind::loss, true, {}},
        {3400, Kind::keyframe, false, {}},  // a capped link: the round trip is held to a second
        {3500, Kind::loss, true, {}},
        {4000, Kind::loss, false, 4500},
        {4500, Kind::retry, true, {}},
    };
    PictureLossLimiter limiter;
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "at " << step.atMs << " ms");
        const std::int64_t at = step.atMs * millisecond;
        switch (step.kind) {
            case Kind::loss:
                EXPECT_EQ(limiter.lossDetected(at), step.sent);
                break;
            case Kind::retry:
                EXPECT_EQ(limiter.retry(at), step.sent);
                break;
            case Kind::keyframe:
                limiter.keyframeArrived(at);
                break;
        }
        const auto retryAt = limiter.retryAt();
        EXPECT_EQ(retryAt ? std::optional(*retryAt / millisecond) : std::nullopt, step.retryAtMs);
    }
}

}  // namespace
}  // namespace quillory
