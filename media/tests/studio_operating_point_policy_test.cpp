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
    std::string tick(const Edit& edit = {}, double step = 1.0) {
        now_ += step;
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

// The cases below were worked out by hand. At 1920 x 1080 `balanced` the needs are 720p15 292,500,
// 720p30 585,000, 720p60 900,000, 1080p30 1,300,000 and 1080p60 2,000,000 bps (funding x1.2,
// retention x0.8). The driver applies the first target at 0.1; tick k observes at k with an
// encoder window from k - 1 and an interval from k - 1.05 to k - 0.05, so tick 1 confirms the
// target and is an encoder transition, and tick 2 is the first measured, improving evaluation.

const Edit fallback = [](StudioEncoderFeedback& f, auto&) {
    f.width = 1280;
    f.height = 720;
};

TEST(StudioOperatingPointPolicyTest, FallingBackToAnotherSizeLosesConfirmation) {
    PolicyDriver driver;
    driver.tick();
    EXPECT_EQ(driver.tick(), "qualifying-recovery");
    EXPECT_EQ(driver.policy_.nextDeadline(), 5.0);
    // 921,600 against 2,073,600 pixels is far beyond a tenth off.
    EXPECT_EQ(driver.tick(fallback), "awaiting-effective-format");
    EXPECT_FALSE(driver.policy_.confirmed());
    EXPECT_FALSE(driver.policy_.nextDeadline());
    const StudioAdaptationAssessment& a = *driver.policy_.assessment();
    EXPECT_EQ(a.recoveryCondition, "insufficient");
    EXPECT_FALSE(a.filteredQP);
    EXPECT_EQ(a.healthySeconds, 0.0);
}

TEST(StudioOperatingPointPolicyTest, CreditReachesOnlyAPointConfirmedWithinFiveSeconds) {
    // Healthy since 2, promoted to 1080p60 at 5 with 3 s of credit, applied at 5.1. The
    // confirming window starts before 5.1, so it records "encoder-transition" with the health.
    for (const auto& [lateTicks, healthy] : {std::pair{0, 3.0}, {5, 0.0}}) {
        PolicyDriver driver;
        for (int k = 0; k < 5; ++k) {
            driver.tick();
        }
        ASSERT_EQ(driver.policy_.assessment()->reason, "startup-selection");
        const StudioOperatingPoint promoted = driver.produced_;
        driver.produced_.framesPerSecond = 30;
        for (int k = 0; k < lateTicks; ++k) {
            EXPECT_EQ(driver.tick(), "awaiting-effective-format");
        }
        driver.produced_ = promoted;
        EXPECT_EQ(driver.tick([](StudioEncoderFeedback& f, auto&) { f.windowStart = 5.0; }),
                  "encoder-transition");
        EXPECT_TRUE(driver.policy_.confirmed());
        EXPECT_EQ(driver.policy_.assessment()->healthySeconds, healthy) << lateTicks;
    }
}

// Steps down to 720p30 at 2 on keyframe drops, with 2,000,000 bps that fund everything below
// 1080p60 since 1; 720p30 is confirmed at 3 and healthy from 4, with its deadline at 7.
PolicyDriver steppedDown() {
    PolicyDriver driver(2'000'000);
    driver.tick();
    EXPECT_EQ(driver.tick(keyframes), "hardware-pressure");
    EXPECT_EQ(driver.tick(), "encoder-transition");
    EXPECT_EQ(driver.tick(), "qualifying-recovery");
    EXPECT_EQ(driver.policy_.nextDeadline(), 7.0);
    return driver;
}

TEST(StudioOperatingPointPolicyTest, AllocationGapOverTwoSecondsRestartsFundingHistory) {
    PolicyDriver driver = steppedDown();
    // Observed at 4.0 and evaluated at 5: healthy until 5, allocated at 4.0.
    const Edit lagging = [](StudioEncoderFeedback& f, StudioMediaInterval& i) {
        f.observedAt = 4.0;
        f.windowStart = 3.0;
        i.windowStart = 2.97;
        i.windowEnd = 3.97;
    };
    EXPECT_EQ(driver.tick(lagging), "qualifying-recovery");
    EXPECT_EQ(driver.policy_.nextDeadline(), 7.0);
    // Allocated 2.5 s later: funding counts from 6.5, so 6.5 + 3.0 replaces 7.0.
    EXPECT_EQ(driver.tick({}, 1.5), "qualifying-recovery");
    EXPECT_EQ(driver.policy_.nextDeadline(), 9.5);
}

TEST(StudioOperatingPointPolicyTest, DroppedFramesArePressureFromTenSubmittedAndAFifthDropped) {
    struct Case {
        int submitted;
        int dropped;
        std::vector<std::string> reasons;
    };
    const Case cases[] = {
        {10, 2, {"pressure-observed", "hardware-pressure"}},
        // Nine are too few for the encoder's own test; the evidence window's eighteen are not.
        {9, 9, {"recovery-neutral", "pressure-observed"}},
        {100, 19, {"recovery-neutral", "recovery-neutral"}},
    };
    for (const Case& c : cases) {
        PolicyDriver driver;
        driver.tick();
        const Edit drops = [&](StudioEncoderFeedback& f, auto&) {
            f.submitted = c.submitted;
            f.dropped = c.dropped;
        };
        EXPECT_EQ(driver.runUntilChange(2, drops), c.reasons) << c.submitted << "/" << c.dropped;
    }
}

TEST(StudioOperatingPointPolicyTest, NeutralEvaluationsMoveTheHealthyStart) {
    PolicyDriver driver;
    driver.tick();
    driver.tick();  // healthy since 2
    // One dropped frame keeps the window neutral until its interval ages out at 6.
    const Edit oneDrop = [](StudioEncoderFeedback& f, auto&) { f.dropped = 1; };
    EXPECT_EQ(driver.tick(oneDrop), "recovery-neutral");
    EXPECT_EQ(driver.tick(), "recovery-neutral");
    EXPECT_EQ(driver.tick(), "recovery-neutral");
    // Healthy since 5 now, and no longer starting: due at max(5 + 3, fundedSince 1 + 3).
    EXPECT_EQ(driver.tick(), "qualifying-recovery");
    EXPECT_EQ(driver.policy_.assessment()->healthySeconds, 1.0);
    EXPECT_EQ(driver.policy_.nextDeadline(), 8.0);
}

TEST(StudioOperatingPointPolicyTest, HealthExpiresAfterAGapOverTwoSeconds) {
    PolicyDriver driver;
    driver.tick();
    driver.tick();
    EXPECT_EQ(driver.policy_.nextDeadline(), 5.0);
    EXPECT_EQ(driver.tick({}, 2.5), "qualifying-recovery");
    EXPECT_EQ(driver.policy_.assessment()->healthySeconds, 0.0);
    EXPECT_EQ(driver.policy_.nextDeadline(), 7.5);
}

TEST(StudioOperatingPointPolicyTest, AnIdleStreamPromotesOnce) {
    const Edit idle = [](StudioEncoderFeedback& f, StudioMediaInterval& i) {
        f.output = 0;
        i.frames = 0;
    };
    PolicyDriver driver;
    driver.tick();
    EXPECT_EQ(driver.runUntilChange(5, idle),
              (std::vector<std::string>{"qualifying-recovery", "qualifying-recovery",
                                        "qualifying-recovery", "startup-selection"}));
    EXPECT_EQ(driver.target(), "1080p60");
    EXPECT_EQ(driver.tick(), "encoder-transition");
    EXPECT_EQ(driver.tick(idle), "idle-awaiting-motion");
}

TEST(StudioOperatingPointPolicyTest, UnusableEvidenceIsNamed) {
    const std::pair<Edit, const char*> cases[] = {
        {[](auto&, StudioMediaInterval& i) { i.meanQP.reset(); }, "evidence-unavailable"},
        {[](auto&, StudioMediaInterval& i) {
             i.windowStart = 0.5;
             i.windowEnd = 1.5;
         },
         "evidence-stale"},
    };
    for (const auto& [edit, reason] : cases) {
        PolicyDriver driver;
        driver.tick();
        EXPECT_EQ(driver.tick(edit), reason);
        EXPECT_FALSE(driver.policy_.nextDeadline());
    }
}

TEST(StudioOperatingPointPolicyTest, AStaleAllocationExpiresTheRecoveryEvidence) {
    PolicyDriver driver;
    driver.tick();
    // Evaluated at 2 but allocated at 1.5.
    driver.tick([](StudioEncoderFeedback& f, StudioMediaInterval& i) {
        f.observedAt = 1.5;
        f.windowStart = 0.5;
        i.windowStart = 0.45;
        i.windowEnd = 1.45;
    });
    EXPECT_FALSE(driver.policy_.deadlineReached(3.4));
    EXPECT_EQ(driver.policy_.assessment()->reason, "qualifying-recovery");
    EXPECT_FALSE(driver.policy_.deadlineReached(3.6));
    EXPECT_EQ(driver.policy_.assessment()->reason, "recovery-evidence-expired");
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
