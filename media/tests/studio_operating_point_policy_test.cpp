#include "media/studio_operating_point_policy.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "studio_observation_fixtures.h"

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
        for (int k = 0; k < limit; ++k) {
            reasons.push_back(tick(edit));
            if (changed_) {
                break;
            }
        }
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

// A packet queue this long is pressure on its own, whatever the window's means.
const Edit congested = [](StudioEncoderFeedback&, StudioMediaInterval& i) { i.queueMS = 100.0; };

TEST(StudioOperatingPointPolicyTest, StartsAtTheLastPointFundedByTheInitialEstimate) {
    PolicyDriver driver;
    EXPECT_EQ(driver.target(), "1080p30");
    EXPECT_EQ(driver.policy_.candidates().size(), 5u);
    EXPECT_TRUE(driver.policy_.starting());
}

TEST(StudioOperatingPointPolicyTest, StartupClimbsAfterThreeHealthySeconds) {
    PolicyDriver driver;
    EXPECT_EQ(driver.runUntilChange(10),
              (std::vector<std::string>{"encoder-transition", "qualifying-recovery",
                                        "qualifying-recovery", "qualifying-recovery",
                                        "startup-selection"}));
    EXPECT_EQ(driver.target(), "1080p60");
    EXPECT_FALSE(driver.policy_.starting());
    EXPECT_TRUE(driver.policy_.assessment()->recoveryBlockers.empty());
    EXPECT_EQ(driver.policy_.assessment()->previousHeight, 1080);
    // The first interval still began before the new point was applied; at the top nothing
    // further is funded.
    EXPECT_EQ(driver.tick(), "encoder-transition");
    EXPECT_EQ(driver.tick(), "no-funded-improvement");
}

TEST(StudioOperatingPointPolicyTest, StepsDownUnderSustainedPressure) {
    PolicyDriver driver;
    driver.runUntilChange(10);
    driver.tick();
    driver.tick();
    ASSERT_EQ(driver.target(), "1080p60");
    EXPECT_EQ(driver.tick(congested), "pressure-observed");
    EXPECT_EQ(driver.tick(congested), "delivery-pressure");
    EXPECT_EQ(driver.target(), "1080p30");

    // Compression pressure is named after the evidence's mean QP, which must first rise above
    // 39 over the whole window; 720p60 is not a step down from 30 fps.
    driver.tick();
    driver.tick();
    const Edit coarse = [](auto&, StudioMediaInterval& i) { i.meanQP = 45.0; };
    EXPECT_EQ(driver.runUntilChange(10, coarse),
              (std::vector<std::string>{"recovery-neutral", "recovery-neutral", "pressure-observed",
                                        "compression-pressure"}));
    EXPECT_EQ(driver.target(), "720p30");
}

TEST(StudioOperatingPointPolicyTest, HoldsUnderNoise) {
    PolicyDriver driver;
    driver.runUntilChange(10);
    driver.tick();
    driver.tick();
    const Edit fewDrops = [](StudioEncoderFeedback& f, auto&) {
        f.submitted = 9;
        f.dropped = 5;
    };
    // A lone spike is observed but calm intervals after it dilute the window again.
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(driver.tick(congested), "pressure-observed");
        driver.tick(fewDrops);
        driver.tick();
    }
    EXPECT_EQ(driver.target(), "1080p60");
}

TEST(StudioOperatingPointPolicyTest, KeyframeDropsStepDownAtOnceOnlyWhenTheFormatIsInForce) {
    PolicyDriver driver;
    const Edit keyframes = [](StudioEncoderFeedback& f, auto&) { f.consecutiveKeyframeDrops = 3; };
    driver.policy_.markApplied(driver.policy_.target(), 0.5);
    driver.produced_.framesPerSecond = 60;  // the encoder has not switched yet
    EXPECT_EQ(driver.tick(keyframes), "awaiting-effective-format");
    driver.produced_ = driver.policy_.target();
    EXPECT_EQ(driver.tick(keyframes), "hardware-pressure");
    EXPECT_EQ(driver.target(), "720p30");
    EXPECT_EQ(driver.policy_.assessment()->recoveryBlockers,
              std::vector<std::string>{"hardware-pressure"});
}

TEST(StudioOperatingPointPolicyTest, LowestPointUnderPressureHolds) {
    PolicyDriver driver(300'000);
    const Edit keyframes = [](StudioEncoderFeedback& f, auto&) { f.consecutiveKeyframeDrops = 4; };
    int guard = 0;
    while (driver.target() != "720p15" && guard++ < 10) {
        driver.tick(keyframes);
    }
    ASSERT_EQ(driver.target(), "720p15");
    driver.tick();
    EXPECT_EQ(driver.tick(keyframes), "minimum-detail-under-pressure");
    EXPECT_EQ(driver.target(), "720p15");
}

TEST(StudioOperatingPointPolicyTest, RecoversOnlyWithEnoughEvidence) {
    PolicyDriver driver;
    driver.runUntilChange(10);
    driver.tick();
    driver.tick();
    driver.tick(congested);
    driver.tick(congested);
    ASSERT_EQ(driver.target(), "1080p30");

    // Neutral evidence never counts towards recovery.
    const Edit mediocre = [](auto&, StudioMediaInterval& i) { i.meanQP = 33.0; };
    for (int k = 0; k < 6; ++k) {
        const std::string reason = driver.tick(mediocre);
        EXPECT_TRUE(reason == "recovery-neutral" || reason == "awaiting-effective-format" ||
                    reason == "encoder-transition")
            << reason;
    }
    // Too few frames in the window is not evidence either.
    const Edit sparse = [](auto&, StudioMediaInterval& i) { i.frames = 3; };
    for (int k = 0; k < 3; ++k) {
        driver.tick(sparse);
    }
    EXPECT_EQ(driver.tick(sparse), "insufficient-quality-evidence");
    EXPECT_EQ(driver.target(), "1080p30");

    // Good evidence: three healthy seconds, then the promotion.
    EXPECT_EQ(driver.runUntilChange(10),
              (std::vector<std::string>{"qualifying-recovery", "qualifying-recovery",
                                        "qualifying-recovery", "funded-recovery"}));
    EXPECT_EQ(driver.target(), "1080p60");
}

TEST(StudioOperatingPointPolicyTest, AfterStartupPromotionNeedsThreeSecondsOfFunding) {
    PolicyDriver driver(1'000'000);  // funds 720p30 at most
    driver.tick();
    ASSERT_EQ(driver.target(), "1080p30");
    EXPECT_EQ(driver.tick(), "retaining-detail-at-lower-allocation");
    const Edit keyframes = [](StudioEncoderFeedback& f, auto&) { f.consecutiveKeyframeDrops = 3; };
    driver.tick(keyframes);
    ASSERT_EQ(driver.target(), "720p30");
    driver.bitrate_ = 8'000'000;
    const std::vector<std::string> reasons = driver.runUntilChange(12);
    EXPECT_EQ(reasons.back(), "funded-recovery");
    EXPECT_EQ(driver.target(), "1080p60");
    // Health had to build up for three seconds once the evidence started.
    EXPECT_GE(reasons.size(), 5u);
}

TEST(StudioOperatingPointPolicyTest, IgnoresLateFeedbackAndRestartsEvidenceOnANewEpoch) {
    PolicyDriver driver;
    driver.tick();
    driver.tick();
    const std::uint64_t count = driver.policy_.assessmentCount();
    // Older than the latest accepted allocation: ignored without a record.
    const Edit late = [](StudioEncoderFeedback& f, auto&) { f.observedAt -= 1.5; };
    EXPECT_EQ(driver.tick(late), "");
    // Taken more than 2 s before now: ignored as well.
    const auto before = driver.now_;
    StudioEncoderFeedback old = testing::feedbackAt(before + 0.5);
    EXPECT_FALSE(driver.policy_.observe(StudioAdaptationObservation(old, std::nullopt),
                                        before + 0.5 + 2.000001));
    EXPECT_EQ(driver.policy_.assessmentCount(), count);
    // Exactly 2 s old is accepted.
    driver.policy_.observe(StudioAdaptationObservation(old, std::nullopt), before + 2.5);
    EXPECT_EQ(driver.policy_.assessmentCount(), count + 1);
    EXPECT_EQ(driver.policy_.assessment()->reason, "awaiting-interval");

    // The encoder restarts: intervals that began before its epoch are transitions.
    driver.now_ += 1.0;
    driver.epoch_ = Uuid({8});
    driver.epochStartedAt_ = driver.now_ + 0.5;
    EXPECT_EQ(driver.tick(), "encoder-transition");
    EXPECT_EQ(driver.policy_.evidence().epoch(), Uuid({8}));
    EXPECT_EQ(driver.policy_.evidence().sampleCount(), 0u);
    EXPECT_EQ(driver.tick(), "qualifying-recovery");
    EXPECT_EQ(driver.policy_.evidence().epoch(), Uuid({8}));
    EXPECT_EQ(driver.policy_.evidence().sampleCount(), 1u);
}

TEST(StudioOperatingPointPolicyTest, PausedEncoderHoldsTheTarget) {
    PolicyDriver driver;
    driver.bitrate_ = 0;
    EXPECT_EQ(driver.tick(), "native-paused");
    EXPECT_EQ(driver.target(), "1080p30");
    EXPECT_EQ(driver.policy_.bitrate(), 0);
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
    other.tick();
    other.tick();
    other.tick();
    other.tick();
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

TEST(StudioOperatingPointPolicyTest, MarkAppliedReconfigureAndReset) {
    PolicyDriver driver;
    StudioOperatingPoint other = driver.policy_.target();
    other.size.requestWidth += 2;
    driver.policy_.markApplied(other, 3.0);
    EXPECT_EQ(driver.policy_.nextDeadline(), 5.1);

    EXPECT_FALSE(driver.policy_.reconfigure({StudioPreset::balanced, 1920, 1080}, 1.0));
    const auto changed = driver.policy_.reconfigure({StudioPreset::balanced, 1280, 720}, 1.0);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->size.width, 1280);
    EXPECT_FALSE(driver.policy_.starting());
    // Same size, new preset: the ladder is rebuilt but the pick stays.
    EXPECT_FALSE(driver.policy_.reconfigure({StudioPreset::quality, 1280, 720}, 1.5));
    EXPECT_EQ(driver.policy_.configuration().preset, StudioPreset::quality);

    driver.policy_.reset();
    EXPECT_TRUE(driver.policy_.suspended());
    EXPECT_EQ(driver.tick(), "");
    driver.policy_.resume(driver.now_);
    EXPECT_FALSE(driver.policy_.suspended());
    EXPECT_FALSE(driver.policy_.observe(
        StudioAdaptationObservation(testing::feedbackAt(driver.now_), std::nullopt),
        std::numeric_limits<double>::quiet_NaN()));
}

}  // namespace
}  // namespace quillory
