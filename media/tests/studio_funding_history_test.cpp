#include "media/studio_funding_history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "media/studio_operating_point_policy.h"
#include "media/studio_recovery_run.h"
#include "studio_test_fixtures.h"

namespace quillory {
namespace {

constexpr std::int64_t everything = 1'000'000'000;

StudioFundingHistory historyAt(double now) {
    return StudioFundingHistory(
        StudioOperatingPointPolicy::makeCandidates(1920, 1080, StudioPreset::balanced), 2'000'000,
        now);
}

StudioEncoderFeedback allocation(double observedAt, std::int64_t bitrate) {
    StudioEncoderFeedback f = testing::feedbackAt(observedAt);
    f.bitrate = bitrate;
    return f;
}

TEST(StudioFundingHistoryTest, LateFutureOrStaleFeedbackIsRefusedAndChangesNothing) {
    StudioFundingHistory history = historyAt(10.0);
    ASSERT_TRUE(history.accept(allocation(10.5, everything), 11.0));

    EXPECT_FALSE(history.accept(allocation(10.4, 1), 11.0)) << "older than the last allocation";
    EXPECT_FALSE(history.accept(allocation(11.5, 1), 11.0)) << "from the future";
    EXPECT_FALSE(history.accept(allocation(11.0, 1), 13.01)) << "over two seconds old";
    EXPECT_FALSE(history.accept(allocation(11.0, 1), std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(history.bitrate(), everything);
    EXPECT_EQ(history.allocationAt(), 10.5);
    EXPECT_EQ(history.earliestFundedAbove(0), 11.0);

    EXPECT_TRUE(history.accept(allocation(11.0, -5), 13.0)) << "exactly two seconds old";
    EXPECT_EQ(history.bitrate(), 0) << "a negative allocation counts as none";
    EXPECT_FALSE(history.highestFundedAbove(0));
}

TEST(StudioFundingHistoryTest, FundingRunsBreakWhenUnfundedAndRestartAfterAGap) {
    StudioFundingHistory history = historyAt(0.0);
    const std::size_t top = history.candidates().size() - 1;
    ASSERT_TRUE(history.accept(allocation(0.0, everything), 0.0));
    EXPECT_EQ(history.highestFundedAbove(0), top);
    EXPECT_FALSE(history.fundedLongEnough(top, 2.9));
    EXPECT_TRUE(history.fundedLongEnough(top, 3.0));

    // An allocation that funds nothing ends every run.
    ASSERT_TRUE(history.accept(allocation(1.0, 1), 1.0));
    EXPECT_FALSE(history.earliestFundedAbove(0));
    ASSERT_TRUE(history.accept(allocation(2.0, everything), 2.0));
    EXPECT_EQ(history.earliestFundedAbove(0), 2.0);

    // After more than two seconds without an allocation every run starts again.
    ASSERT_TRUE(history.accept(allocation(4.5, everything), 4.5));
    EXPECT_EQ(history.earliestFundedAbove(0), 4.5);
    EXPECT_FALSE(history.fundedLongEnough(top, 6.0));
}

TEST(StudioRecoveryRunTest, AnIntervalIsNewOnlyWhenItEndsLaterThanAnySeen) {
    StudioRecoveryRun run;
    const auto observation = [](std::optional<double> end) {
        std::optional<StudioMediaInterval> interval;
        if (end) {
            interval = testing::intervalEnding(*end);
        }
        return StudioAdaptationObservation(testing::feedbackAt(10.0), interval);
    };
    StudioMediaInterval unended = testing::intervalEnding(5.0);
    unended.windowEnd.reset();

    EXPECT_FALSE(run.takeInterval(observation(std::nullopt)));
    EXPECT_FALSE(run.takeInterval(StudioAdaptationObservation(testing::feedbackAt(10.0), unended)));
    EXPECT_FALSE(run.latest);
    EXPECT_TRUE(run.takeInterval(observation(5.0)));
    EXPECT_FALSE(run.takeInterval(observation(5.0)));
    EXPECT_FALSE(run.takeInterval(observation(4.0)));
    EXPECT_FALSE(run.takeInterval(observation(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_EQ(run.lastIntervalEnd, 5.0);
    EXPECT_TRUE(run.takeInterval(observation(6.0)));
    ASSERT_TRUE(run.latest);
    EXPECT_EQ(run.latest->interval()->windowEnd, 6.0);
}

}  // namespace
}  // namespace quillory
