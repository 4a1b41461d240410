#include "media/studio_adaptation_observation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "studio_test_fixtures.h"

namespace quillory {
namespace {

using testing::feedbackAt;
using testing::intervalEnding;
using Validity = StudioAdaptationObservation::Validity;

Validity judge(const StudioEncoderFeedback& f, const std::optional<StudioMediaInterval>& i) {
    return StudioAdaptationObservation(f, i).validity();
}

TEST(StudioAdaptationObservationTest, WindowLengthAndAgeDecideStaleness) {
    EXPECT_EQ(judge(feedbackAt(11.0), std::nullopt), Validity::unavailable);
    EXPECT_EQ(judge(feedbackAt(11.0), intervalEnding(11.0)), Validity::measured);

    StudioMediaInterval twoSeconds = intervalEnding(11.0);
    twoSeconds.windowStart = 9.0;
    StudioEncoderFeedback wide = feedbackAt(11.0);
    wide.windowStart = 9.0;
    EXPECT_EQ(judge(wide, twoSeconds), Validity::measured);
    twoSeconds.windowStart = std::nextafter(9.0, 0.0);
    EXPECT_EQ(judge(wide, twoSeconds), Validity::stale);

    StudioMediaInterval noStart = intervalEnding(11.0);
    noStart.windowStart.reset();
    EXPECT_EQ(judge(feedbackAt(11.0), noStart), Validity::stale);
    StudioMediaInterval nan = intervalEnding(11.0);
    nan.windowEnd = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(judge(feedbackAt(11.0), nan), Validity::stale);

    EXPECT_EQ(judge(feedbackAt(11.0), intervalEnding(11.0001)), Validity::stale);
    EXPECT_EQ(judge(feedbackAt(11.5), intervalEnding(11.0)), Validity::stale);
    StudioEncoderFeedback recent = feedbackAt(11.2);
    recent.windowStart = 10.0;
    EXPECT_EQ(judge(recent, intervalEnding(11.0)), Validity::measured);
}

TEST(StudioAdaptationObservationTest, IntervalFromBeforeTheEpochIsATransition) {
    StudioEncoderFeedback f = feedbackAt(11.0);
    f.epochStartedAt = 10.0;
    EXPECT_EQ(judge(f, intervalEnding(11.0)), Validity::measured);
    f.epochStartedAt = 10.001;
    EXPECT_EQ(judge(f, intervalEnding(11.0)), Validity::transition);
    f.epochStartedAt = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(judge(f, intervalEnding(11.0)), Validity::transition);
}

TEST(StudioAdaptationObservationTest, EncoderWindowMustOverlapTheInterval) {
    StudioEncoderFeedback f = feedbackAt(11.1);
    f.windowStart.reset();
    EXPECT_EQ(judge(f, intervalEnding(11.0)), Validity::unavailable);
    f.windowStart = 10.2;  // overlap 0.8 of a 1.0 span
    EXPECT_EQ(judge(f, intervalEnding(11.0)), Validity::measured);
    f = feedbackAt(11.0);
    f.windowStart = 10.5;  // overlap 0.5
    EXPECT_EQ(judge(f, intervalEnding(11.0)), Validity::unavailable);
    f.windowStart = 10.25;  // exactly 0.75
    EXPECT_EQ(judge(f, intervalEnding(11.0)), Validity::measured);
}

TEST(StudioAdaptationObservationTest, IdleNeedsSilenceOnBothSidesAndMeasuredNeedsEveryStatistic) {
    StudioMediaInterval silent = intervalEnding(11.0);
    silent.frames = 0;
    silent.meanQP.reset();
    silent.queueMS.reset();
    silent.retransmissionFraction.reset();
    StudioEncoderFeedback quiet = feedbackAt(11.0);
    quiet.output = 0;
    EXPECT_EQ(judge(quiet, silent), Validity::idle);
    EXPECT_EQ(judge(feedbackAt(11.0), silent), Validity::unavailable);

    StudioMediaInterval full = intervalEnding(11.0);
    full.frames = 0;
    EXPECT_EQ(judge(feedbackAt(11.0), full), Validity::measured);
    full.meanQP = std::numeric_limits<double>::infinity();
    EXPECT_EQ(judge(feedbackAt(11.0), full), Validity::unavailable);
    StudioMediaInterval noQueue = intervalEnding(11.0);
    noQueue.queueMS.reset();
    EXPECT_EQ(judge(quiet, noQueue), Validity::unavailable);
}

}  // namespace
}  // namespace quillory
