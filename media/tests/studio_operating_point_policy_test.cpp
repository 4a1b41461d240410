#include "media/studio_operating_point_policy.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "studio_test_fixtures.h"

namespace quillory {
namespace {

using Edit = std::function<void(StudioEncoderFeedback&, StudioMediaInterval&)>;

// Plays the peer: feeds one observation a second of an encoder that produces whatever point the
// sender is currently applying, and applies each new target 0.1 s after the policy picks it.
// For 1920 x 1080 `balanced` the candidates are 720p15, 720p30, 720p60, 1080p30, 1080p60.
class PolicyDriver {
  public:
    explicit PolicyDriver(std::int64_t bitrate = 8'000'000)
        : policy_(StudioPreset::balanced, 1920, 1080, 0.0), bitrate_(bitrate) {
        produced_ = policy_.target();
        policy_.markApplied(produced_, 0.1);
    }

    // One observation at the next whole second; returns the reason recorded for it.
    std::string tick(const Edit& edit = {}) {
        now_ += 1.0;
        StudioEncoderFeedback f = testing::feedbackAt(now_, epoch_);
        f.epochStartedAt = epochStartedAt_;
        f.bitrate = bitrate_;
        f.width = produced_.size.width;
        f.height = produced_.size.height;
        f.framesPerSecond = produced_.framesPerSecond;
        StudioMediaInterval i = testing::intervalEnding(now_ - 0.05);
        if (edit) {
            edit(f, i);
        }
        const std::uint64_t before = policy_.assessmentCount();
        changed_ = policy_.observe(StudioAdaptationObservation(f, i), now_);
        if (changed_) {
            produced_ = *changed_;
            policy_.markApplied(*changed_, now_ + 0.1);
        }
        return policy_.assessmentCount() == before ? "" : policy_.assessment()->reason;
    }

    // Ticks until the target changes or `limit` ticks have passed; returns the reasons.
    std::vector<std::string> runUntilChange(int limit, const Edit& edit = {}) {
        std::vector<std::string> reasons;
        do {
            reasons.push_back(tick(edit));
        } while (!changed_ && static_cast<int>(reasons.size()) < limit);
        return reasons;
    }

    std::string target() const {
        const StudioOperatingPoint& t = policy_.target();
        return std::to_string(t.size.height) + "p" + std::to_string(t.framesPerSecond);
    }

    StudioOperatingPointPolicy policy_;
    std::int64_t bitrate_;
    double now_ = 0.0;
    Uuid epoch_{{7}};
    double epochStartedAt_ = 0.0;
    StudioOperatingPoint produced_;
    std::optional<StudioOperatingPoint> changed_;
};

// The scripted scenarios of quillory-policy-replay (tools/policy-replay/tests/data) cover the
// startup climb, sustained pressure, noise, recovery, stale feedback and reconnection; these
// cases cover what they do not.

const Edit keyframes = [](StudioEncoderFeedback& f, auto&) { f.consecutiveKeyframeDrops = 3; };

TEST(StudioOperatingPointPolicyTest, KeyframeDropsStepDownAtOnceOnlyWhenTheFormatIsInForce) {
    PolicyDriver driver;
    EXPECT_EQ(driver.target(), "1080p30");
    driver.produced_.framesPerSecond = 60;  // the encoder has not switched yet
    EXPECT_EQ(driver.tick(keyframes), "awaiting-effective-format");
    driver.produced_ = driver.policy_.target();
    // 720p60 would save enough but raise the frame rate.
    EXPECT_EQ(driver.tick(keyframes), "hardware-pressure");
    EXPECT_EQ(driver.target(), "720p30");
    EXPECT_EQ(driver.policy_.assessment()->recoveryBlockers,
              std::vector<std::string>{"hardware-pressure"});
}

TEST(StudioOperatingPointPolicyTest, CoarseQuantisationStepsDownAsCompressionPressure) {
    PolicyDriver driver;
    driver.tick();
    driver.tick();
    const Edit coarse = [](auto&, StudioMediaInterval& i) { i.meanQP = 45.0; };
    // The window's mean must first pass 39, then the pressure must last a second.
    EXPECT_EQ(driver.runUntilChange(10, coarse),
              (std::vector<std::string>{"recovery-neutral", "recovery-neutral", "pressure-observed",
                                        "compression-pressure"}));
    EXPECT_EQ(driver.target(), "720p30");
}

TEST(StudioOperatingPointPolicyTest, AfterStartupPromotionNeedsThreeSecondsOfFunding) {
    PolicyDriver driver(1'000'000);  // funds 720p30 at most
    driver.tick();
    EXPECT_EQ(driver.tick(), "retaining-detail-at-lower-allocation");
    driver.tick(keyframes);
    ASSERT_EQ(driver.target(), "720p30");
    driver.tick();
    driver.tick();  // healthy from here, but nothing above is funded yet
    driver.bitrate_ = 8'000'000;
    EXPECT_EQ(driver.runUntilChange(12),
              (std::vector<std::string>{"qualifying-recovery", "qualifying-recovery",
                                        "qualifying-recovery", "funded-recovery"}));
    EXPECT_EQ(driver.target(), "1080p60");
}

TEST(StudioOperatingPointPolicyTest, FeedbackExactlyTwoSecondsOldIsStillAccepted) {
    PolicyDriver driver;
    const StudioAdaptationObservation old(testing::feedbackAt(1.0), std::nullopt);
    EXPECT_FALSE(driver.policy_.observe(old, 3.000001));
    EXPECT_EQ(driver.policy_.assessmentCount(), 0u);
    driver.policy_.observe(old, 3.0);
    EXPECT_EQ(driver.policy_.assessment()->reason, "awaiting-interval");
    EXPECT_FALSE(driver.policy_.observe(old, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(driver.policy_.assessmentCount(), 1u);
}

TEST(StudioOperatingPointPolicyTest, DeadlinesPromoteOrExpire) {
    PolicyDriver driver;
    EXPECT_FALSE(driver.policy_.deadlineReached(0.5));
    EXPECT_EQ(driver.policy_.assessmentCount(), 0u);  // no observation yet: nothing recorded

    driver.tick();
    driver.tick();  // healthy since 2.0, deadline at 5.0
    ASSERT_EQ(driver.policy_.nextDeadline(), 5.0);
    EXPECT_FALSE(driver.policy_.deadlineReached(4.0));
    EXPECT_EQ(driver.policy_.assessment()->reason, "qualifying-recovery");
    EXPECT_EQ(driver.policy_.nextDeadline(), 5.0);
    EXPECT_FALSE(driver.policy_.deadlineReached(4.5));
    EXPECT_EQ(driver.policy_.assessment()->reason, "recovery-evidence-expired");

    PolicyDriver other;
    for (int k = 0; k < 4; ++k) {
        other.tick();
    }
    const auto promoted = other.policy_.deadlineReached(5.0);
    ASSERT_TRUE(promoted);
    EXPECT_EQ(promoted->framesPerSecond, 60);
    EXPECT_EQ(other.policy_.assessment()->reason, "startup-selection");
}

TEST(StudioOperatingPointPolicyTest, UnconfirmedFormatIsReportedAfterItsDeadline) {
    PolicyDriver driver;
    driver.produced_.framesPerSecond = 60;  // the encoder never follows
    EXPECT_EQ(driver.tick(), "awaiting-effective-format");
    EXPECT_EQ(driver.policy_.nextDeadline(), 5.1);
    EXPECT_FALSE(driver.policy_.deadlineReached(5.1));
    EXPECT_EQ(driver.policy_.assessment()->reason, "effective-format-constrained");
    for (int k = 0; k < 4; ++k) {
        driver.tick();
    }
    EXPECT_EQ(driver.tick(), "effective-format-constrained");
}

TEST(StudioOperatingPointPolicyTest, PresetChangeRebuildsTheLadderEvenWhenThePickStays) {
    StudioOperatingPointPolicy policy(StudioPreset::balanced, 2388, 1668, 0.0);
    EXPECT_EQ(policy.candidates()[2].framesPerSecond, 30);
    EXPECT_FALSE(policy.reconfigure({StudioPreset::quality, 2388, 1668}, 1.0));
    EXPECT_EQ(policy.configuration().preset, StudioPreset::quality);
    EXPECT_EQ(policy.candidates()[2].framesPerSecond, 60);
    EXPECT_FALSE(policy.starting());
}

}  // namespace
}  // namespace quillory
