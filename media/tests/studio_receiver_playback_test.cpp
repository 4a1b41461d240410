#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <set>
#include <string>

#include "media/studio_interval_sampler.h"
#include "media/studio_playback_recovery.h"
#include "media/studio_presentation_lifecycle.h"
#include "media/studio_presentation_schedule.h"
#include "media/studio_presented_frame_counter.h"

namespace quillory {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

StudioMediaInterval received(double bufferMS, double seconds = 1.0, int frames = 60) {
    StudioMediaInterval interval;
    interval.seconds = seconds;
    interval.frames = frames;
    interval.fps = frames / seconds;
    interval.bufferMS = bufferMS;
    return interval;
}

TEST(StudioPlaybackRecoveryTest, GrantsAtMostTwoResetsAfterLongHighDelay) {
    StudioPlaybackRecovery recovery;
    EXPECT_EQ(recovery.cooldownRemaining(0.0), 0.0);
    double now = 1000.0;
    int grantedAt = 0;
    for (int k = 1; k <= 8; ++k) {
        now += 1.0;
        if (recovery.observe(received(150.0), now)) {
            grantedAt = k;
        }
    }
    EXPECT_EQ(grantedAt, 8);
    EXPECT_EQ(recovery.resets(), 1);
    EXPECT_EQ(recovery.delayedSeconds(), 0.0);
    EXPECT_EQ(recovery.cooldownRemaining(now + 20.0), 100.0);

    // Eight more seconds of delay are not enough within the cooldown; the accumulation is
    // capped at 8 s and the grant comes as soon as 120 s have passed.
    const double firstGrant = now;
    while (now < firstGrant + 119.0) {
        now += 1.0;
        EXPECT_FALSE(recovery.observe(received(150.0), now));
    }
    EXPECT_EQ(recovery.delayedSeconds(), 8.0);
    now += 1.0;
    EXPECT_TRUE(recovery.observe(received(150.0), now));
    EXPECT_EQ(recovery.resets(), 2);

    for (int k = 0; k < 400; ++k) {
        now += 1.0;
        EXPECT_FALSE(recovery.observe(received(500.0), now));
    }
    EXPECT_EQ(recovery.resets(), 2);
}

TEST(StudioPlaybackRecoveryTest, MiddleDelayHoldsLowDelayClearsAndGapsRestart) {
    StudioPlaybackRecovery recovery;
    recovery.observe(received(150.0), 1.0);
    recovery.observe(received(150.0), 2.0);
    recovery.observe(received(90.0), 3.0);
    EXPECT_EQ(recovery.delayedSeconds(), 2.0);
    recovery.observe(received(120.0), 4.0);
    EXPECT_EQ(recovery.delayedSeconds(), 2.0);
    recovery.observe(received(59.9), 5.0);
    EXPECT_EQ(recovery.delayedSeconds(), 0.0);

    recovery.observe(received(150.0), 6.0);
    recovery.observe(received(150.0), 9.0);
    EXPECT_EQ(recovery.delayedSeconds(), 2.0);
    // More than 3 s since the last accepted observation: start again.
    recovery.observe(received(150.0), 12.5);
    EXPECT_EQ(recovery.delayedSeconds(), 1.0);

    // Rejected intervals neither count nor refresh the last observation.
    StudioMediaInterval withoutBuffer = received(150.0);
    withoutBuffer.bufferMS.reset();
    for (const StudioMediaInterval& rejected :
         {received(150.0, 0.0), received(150.0, 3.5), received(150.0, nan), received(150.0, 1.0, 0),
          received(inf), withoutBuffer}) {
        recovery.observe(rejected, 13.0);
    }
    EXPECT_EQ(recovery.delayedSeconds(), 1.0);
    recovery.observe(received(150.0), 16.0);
    EXPECT_EQ(recovery.delayedSeconds(), 1.0);

    recovery.clear();
    EXPECT_EQ(recovery.delayedSeconds(), 0.0);
}

TEST(StudioPlaybackRecoveryTest, DecidesFromTheReceiversIntervalStatistics) {
    // Reports once a second from a receiver whose jitter buffer holds each frame 150 ms; then the
    // decoder stalls (no frames decoded), which must not count as delay.
    StudioIntervalSampler sampler;
    StudioPlaybackRecovery recovery;
    std::vector<int> grants;
    for (int k = 0; k <= 13; ++k) {
        const double frames = 60.0 * std::min(k, 10);
        StudioStatisticsReport report{{{"IT01",
                                        "inbound-rtp",
                                        k * 1e6,
                                        {{"framesDecoded", frames},
                                         {"jitterBufferDelay", frames * 0.15},
                                         {"jitterBufferEmittedCount", frames}}}}};
        const double now = 100.0 + k;
        const std::optional<StudioMediaInterval> interval = sampler.interval(report, false, now);
        if (interval && recovery.observe(*interval, now)) {
            grants.push_back(k);
        }
    }
    EXPECT_EQ(grants, std::vector<int>{8});
    EXPECT_EQ(recovery.delayedSeconds(), 2.0);
}

using Lifecycle = StudioPresentationLifecycle;
using Failure = Lifecycle::Failure;
using Decision = Lifecycle::Decision;

TEST(StudioPresentationLifecycleTest, ReportDeadlineFollowsTheFrameInterval) {
    const auto deadline = [](double frameInterval) {
        Lifecycle lifecycle;
        lifecycle.begin(1, true, 10.0, frameInterval);
        return lifecycle.current()->expires - 10.0;
    };
    // Two frame intervals, at least one 60 Hz frame; without a usable interval, two at 60 Hz.
    for (const auto& [interval, expected] : {std::pair{1.0 / 60.0, 1.0 / 30.0},
                                             {0.05, 1.0 / 15.0},
                                             {0.0, 1.0 / 30.0},
                                             {nan, 1.0 / 30.0},
                                             {-1.0, 1.0 / 30.0},
                                             {0.001, 1.0 / 60.0}}) {
        EXPECT_NEAR(deadline(interval), expected, 1e-12) << interval;
    }
}

TEST(StudioPresentationLifecycleTest, MissingReportRetriesOnlyAfterTheDeadline) {
    Lifecycle lifecycle;
    const auto id = lifecycle.begin(5, true, 10.0, 1.0 / 60.0);
    EXPECT_FALSE(lifecycle.decision(5, 10.1));  // not completed yet
    lifecycle.complete(id, false);
    EXPECT_FALSE(lifecycle.decision(5, 10.02));
    EXPECT_FALSE(lifecycle.decision(5, inf));
    EXPECT_FALSE(lifecycle.decision(6, 10.1));
    EXPECT_EQ(lifecycle.decision(5, 10.0 + 1.0 / 30.0), Decision::retry(Failure::missingCallback));
    lifecycle.present(id, std::nullopt);
    EXPECT_FALSE(lifecycle.decision(5, 11.0));
}

TEST(StudioPresentationLifecycleTest, ThirdFailedAttemptIsExhausted) {
    Lifecycle lifecycle;
    std::vector<std::optional<Decision>> decisions;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto id = lifecycle.begin(9, attempt == 0, 1.0, 1.0 / 60.0);
        lifecycle.complete(id, false);
        lifecycle.present(id, Failure::skipped);
        decisions.push_back(lifecycle.decision(9, 1.0));
    }
    EXPECT_EQ(decisions, (std::vector<std::optional<Decision>>{
                             Decision::retry(Failure::skipped), Decision::retry(Failure::skipped),
                             Decision::exhausted(Failure::skipped)}));
    EXPECT_TRUE(lifecycle.current()->retired);
    EXPECT_FALSE(lifecycle.decision(9, 2.0));
    EXPECT_EQ(lifecycle.sequence(), 3u);

    // A fresh attempt or another frame starts counting again.
    lifecycle.begin(9, true, 2.0, 0.0);
    EXPECT_EQ(lifecycle.current()->number, 1);
    lifecycle.begin(10, false, 2.0, 0.0);
    EXPECT_EQ(lifecycle.current()->number, 1);
}

TEST(StudioPresentationLifecycleTest, StaleIdentitiesChangeNothing) {
    Lifecycle lifecycle;
    const auto old = lifecycle.begin(1, true, 1.0, 0.0);
    const auto id = lifecycle.begin(2, true, 1.0, 0.0);
    lifecycle.complete(old, true);
    lifecycle.present(old, Failure::gpuError);
    EXPECT_FALSE(lifecycle.current()->completed);
    EXPECT_FALSE(lifecycle.current()->failure);

    lifecycle.complete(id, true);
    EXPECT_EQ(lifecycle.decision(2, 1.0), Decision::retry(Failure::gpuError));
    // The display's report replaces the GPU's failure, absent included.
    lifecycle.present(id, Failure::invalidTimestamp);
    EXPECT_EQ(lifecycle.decision(2, 1.0), Decision::retry(Failure::invalidTimestamp));
    lifecycle.reset();
    EXPECT_FALSE(lifecycle.current());
    EXPECT_EQ(lifecycle.begin(2, false, 1.0, 0.0), 3u);
}

TEST(StudioPresentationScheduleTest, KeepsThreeNewestFramesAndPlausibleRenderTimes) {
    StudioPresentationSchedule<std::string> schedule;
    schedule.enqueue("a", 1, 10.0, 10.05);
    schedule.enqueue("stale", 1, 10.0, 10.0);
    schedule.enqueue("bad-arrival", 7, nan, 10.0);
    schedule.enqueue("b", 2, 10.1, 10.3);  // 0.2 s off: shown at arrival
    schedule.enqueue("c", 3, 10.2, -1.0);
    schedule.enqueue("d", 4, 10.3, 10.35);
    EXPECT_EQ(schedule.pendingCount(), 3u);
    EXPECT_EQ(schedule.newestSerial(), 4u);

    EXPECT_FALSE(schedule.frame(10.0));
    EXPECT_EQ(schedule.frame(10.1)->frame, "b");
    EXPECT_EQ(schedule.frame(10.1)->renderTime, 10.1);
    EXPECT_EQ(schedule.frame(10.25)->frame, "c");
    EXPECT_EQ(schedule.frame(10.35)->frame, "d");
    EXPECT_FALSE(schedule.frame(nan));

    schedule.markPresented(*schedule.frame(10.25));
    EXPECT_EQ(schedule.pendingCount(), 1u);
    EXPECT_EQ(schedule.frame(nan)->frame, "c");
    EXPECT_EQ(schedule.frame(10.25)->frame, "c");
    // An older entry never replaces the frame on screen.
    schedule.markPresented({"a", 1, 10.0, 10.05});
    EXPECT_EQ(schedule.current()->frame, "c");
}

TEST(StudioPresentedFrameCounterTest, CountsEachRecentSerialOnce) {
    StudioPresentedFrameCounter counter;
    EXPECT_FALSE(counter.insert(0));
    EXPECT_TRUE(counter.insert(1000));
    EXPECT_FALSE(counter.insert(872));
    EXPECT_TRUE(counter.insert(873));
    EXPECT_FALSE(counter.insert(873));
    EXPECT_TRUE(counter.insert(999));
    EXPECT_TRUE(counter.insert(1200));
    // Only the last 128 serials are remembered.
    EXPECT_EQ(counter.seen(), (std::set<std::uint64_t>{1200}));
    EXPECT_FALSE(counter.insert(1072));
    EXPECT_TRUE(counter.insert(1073));

    StudioPresentedFrameCounter early;
    EXPECT_TRUE(early.insert(5));
    EXPECT_TRUE(early.insert(128));
    EXPECT_TRUE(early.insert(1));
    EXPECT_EQ(early.seen().size(), 3u);
}

}  // namespace
}  // namespace quillory
