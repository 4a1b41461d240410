#include "platform/webrtc/bandwidth_estimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace quillory {
namespace {

constexpr std::int64_t start = 2'000'000;
constexpr double step = 0.1;  // transport-wide feedback every 100 ms

// Feeds windows from `from` up to `until` seconds, each with the given loss and a sending rate
// that fills the estimate.
std::int64_t feed(BandwidthEstimator& estimator, double from, double until, double loss,
                  DelayTrend trend = DelayTrend::normal) {
    for (double t = from; t < until + 1e-9; t += step) {
        const auto estimate = static_cast<double>(estimator.estimateBps());
        estimator.update({t, estimate, estimate, loss, trend, 0.02});
    }
    return estimator.estimateBps();
}

struct Preset {
    std::string name;
    std::int64_t maximumBps;
};

class BandwidthEstimatorPresets : public testing::TestWithParam<Preset> {};

TEST_P(BandwidthEstimatorPresets, StaysBetweenFloorAndPresetMaximum) {
    BandwidthEstimator estimator(start, GetParam().maximumBps);
    EXPECT_EQ(feed(estimator, 0, 60, 0), GetParam().maximumBps);
    // A blackout: everything lost for a long time.
    EXPECT_EQ(feed(estimator, 60, 120, 100), BandwidthEstimator::floorBps);
    // A bound without a minimum keeps the floor.
    estimator.setBounds({std::int64_t{0}, std::nullopt, GetParam().maximumBps});
    EXPECT_EQ(feed(estimator, 120, 130, 100), BandwidthEstimator::floorBps);
    EXPECT_GT(feed(estimator, 130, 140, 0), BandwidthEstimator::floorBps);
}

INSTANTIATE_TEST_SUITE_P(All, BandwidthEstimatorPresets,
                         testing::Values(Preset{"quality", 28'000'000},
                                         Preset{"balanced", 16'000'000},
                                         Preset{"responsive", 10'000'000}),
                         [](const auto& preset) { return preset.param.name; });

TEST(BandwidthEstimatorTest, RampsByOneAndAHalfThenTwiceOneSecondApartWhileClean) {
    BandwidthEstimator estimator(start, 16'000'000);
    EXPECT_EQ(feed(estimator, 0, 0.95, 0), start);
    EXPECT_EQ(feed(estimator, 1.0, 1.95, 0), 3'000'000);
    EXPECT_EQ(feed(estimator, 2.0, 2.0, 0), 6'000'000);
    EXPECT_FALSE(estimator.ramping());
    // After the ramp it grows by a few percent a second, not by steps.
    const auto later = feed(estimator, 2.1, 3.0, 0);
    EXPECT_GT(later, 6'000'000);
    EXPECT_LT(later, 6'600'000);
}

// One window around a burst shows little received; the cut follows the rate of the last half
// second instead.
TEST(BandwidthEstimatorTest, CutFollowsTheReceivedRateOfTheLastHalfSecond) {
    BandwidthEstimator estimator(4'000'000, 16'000'000);
    for (double t = 0; t < 0.35; t += step) {
        estimator.update({t, 4e6, 3.8e6, 5, DelayTrend::normal, 0.02});  // in between: hold
    }
    ASSERT_EQ(estimator.estimateBps(), 4'000'000);
    estimator.update({0.4, 4e6, 0.5e6, 40, DelayTrend::normal, 0.02});
    EXPECT_EQ(estimator.estimateBps(), 2'669'000);
}

// A queue that grows by a few percent a second may stay under the delay trend's threshold; what
// is received falling behind what is sent shows it.
TEST(BandwidthEstimatorTest, ReceivedFallingBehindSentIsOveruseEvenWithAFlatDelayTrend) {
    for (const double received : {3.7e6, 3.9e6}) {
        BandwidthEstimator estimator(4'000'000, 16'000'000);
        for (double t = 0; t < 0.25; t += step) {
            estimator.update({t, 4e6, received, 0, DelayTrend::normal, 0.02});
        }
        if (received < 3.8e6) {
            EXPECT_LT(estimator.estimateBps(), 4'000'000) << received;
        } else {
            EXPECT_GE(estimator.estimateBps(), 4'000'000) << received;
        }
    }
}

// Near a cut the estimate creeps up; with the path clean for a while after it (a cap lifted) it
// steps up by half once a second.
TEST(BandwidthEstimatorTest, StepsUpOnceACutLiesAWhileBack) {
    BandwidthEstimator estimator(4'000'000, 16'000'000);
    estimator.update({0.0, 4e6, 2e6, 30, DelayTrend::overusing, 0.02});
    ASSERT_EQ(estimator.estimateBps(), 2'000'000);
    const auto near = feed(estimator, 0.1, 1.0, 0);
    const auto before = feed(estimator, 1.1, 4.9, 0);
    const auto stepped = feed(estimator, 5.0, 5.9, 0);
    const auto again = feed(estimator, 6.0, 6.0, 0);
    EXPECT_LT(near, 2'000'000 * 1.09);
    EXPECT_NEAR(static_cast<double>(stepped), static_cast<double>(before) * 1.5, 1);
    EXPECT_NEAR(static_cast<double>(again), static_cast<double>(stepped) * 1.5, 1);
}

// Where probes measure the path, a cut long past leads to no blind steps: past the limit the cut
// found, the estimate only creeps, and probes find whether the path has widened.
TEST(BandwidthEstimatorTest, StepsUpAfterACutOnlyWhereNoProbeMeasuresThePath) {
    BandwidthEstimator estimator(4'000'000, 16'000'000);
    estimator.probed({.bitsPerSecond = 4e6}, 4e6, 0);
    estimator.update({0.0, 4e6, 2e6, 30, DelayTrend::overusing, 0.02});
    ASSERT_EQ(estimator.estimateBps(), 2'000'000);
    EXPECT_LT(feed(estimator, 0.1, 8, 0), 2'200'000);
}

TEST(BandwidthEstimatorTest, DoubtfulWindowDelaysTheNextRampStep) {
    BandwidthEstimator estimator(start, 16'000'000);
    feed(estimator, 0, 0.5, 0);
    feed(estimator, 0.6, 0.6, 5);  // in between: hold
    EXPECT_EQ(feed(estimator, 0.7, 1.5, 0), start);
    EXPECT_EQ(feed(estimator, 1.6, 1.6, 0), 3'000'000);
}

TEST(BandwidthEstimatorTest, LossBandsLowerHoldOrRaise) {
    struct Case {
        double loss;
        int direction;
    };
    for (const Case c : {Case{0, 1}, Case{1.9, 1}, Case{2.0, 0}, Case{5, 0}, Case{10, 0},
                         Case{10.5, -1}, Case{40, -1}}) {
        BandwidthEstimator estimator(start, 16'000'000);
        feed(estimator, 0, 2.0, 0);  // past the ramp
        const auto before = estimator.estimateBps();
        const auto after = feed(estimator, 2.1, 4.0, c.loss);
        EXPECT_EQ((after > before) - (after < before), c.direction) << "loss " << c.loss;
    }
}

TEST(BandwidthEstimatorTest, RisingDelayOverConsecutiveWindowsCutsTowardsTheReceivedRate) {
    BandwidthEstimator estimator(start, 16'000'000);
    feed(estimator, 0, 2.0, 0);
    // One rising window holds; the second in a row is overuse.
    estimator.update({2.1, 6e6, 3e6, 0, DelayTrend::overusing, 0.02});
    EXPECT_EQ(estimator.estimateBps(), 6'000'000);
    estimator.update({2.2, 6e6, 3e6, 0, DelayTrend::overusing, 0.02});
    EXPECT_EQ(estimator.estimateBps(), 3'000'000);
    // The next cut goes by the windows since this one, which it answered: of those, one that
    // shows almost nothing received counts with the others that showed the path full.
    estimator.update({2.3, 3e6, 3e6 * 0.9, 0, DelayTrend::overusing, 0.02});
    estimator.update({2.4, 3e6, 3e6 * 0.9, 0, DelayTrend::overusing, 0.02});
    estimator.update({2.5, 3e6, 1e5, 0, DelayTrend::overusing, 0.02});
    EXPECT_NEAR(static_cast<double>(estimator.estimateBps()), 0.85 * (2 * 2.7e6 + 1e5) / 3, 1);
    // A draining queue is no overuse.
    const auto settled = estimator.estimateBps();
    estimator.update({2.8, 3e6, 3e6, 0, DelayTrend::underusing, 0.02});
    EXPECT_GE(estimator.estimateBps(), settled);
}

TEST(BandwidthEstimatorTest, OneCutPerRoundTrip) {
    BandwidthEstimator estimator(10'000'000, 16'000'000);
    estimator.update({0.0, 1e7, 5e6, 50, DelayTrend::normal, 0.5});
    const auto once = estimator.estimateBps();
    estimator.update({0.1, 1e7, 5e6, 50, DelayTrend::normal, 0.5});
    EXPECT_EQ(estimator.estimateBps(), once);
    estimator.update({0.6, 1e7, 5e6, 50, DelayTrend::normal, 0.5});
    EXPECT_LT(estimator.estimateBps(), once);
}

// The encoder follows a cut over a second or so, so congestion shows in the windows after it
// too; those cut no further than the received rate says.
TEST(BandwidthEstimatorTest, CongestionThatOutlastsACutCutsNoFurtherThanTheReceivedRate) {
    BandwidthEstimator estimator(6'000'000, 16'000'000);
    for (double t = 0; t < 1.5; t += step) {
        estimator.update({t, 6e6, 3e6, 40, DelayTrend::overusing, 0.02});
    }
    EXPECT_EQ(estimator.estimateBps(), 2'550'000);
}

TEST(BandwidthEstimatorTest, NoIncreaseWhileTheEncoderUsesWellUnderItsAllocation) {
    BandwidthEstimator estimator(start, 16'000'000);
    // During the ramp a still screen does not stop it.
    for (double t = 0; t < 2.05; t += step) {
        estimator.update({t, 200'000.0, 200'000.0, 0, DelayTrend::normal, 0.02});
    }
    EXPECT_EQ(estimator.estimateBps(), 6'000'000);
    for (double t = 2.1; t < 10; t += step) {
        estimator.update({t, 1e6, 1e6, 0, DelayTrend::normal, 0.02});
    }
    EXPECT_EQ(estimator.estimateBps(), 6'000'000);
    // Missing sending rate is no evidence of a still screen.
    estimator.update({10.0, std::nullopt, std::nullopt, 0, DelayTrend::normal, std::nullopt});
    estimator.update({10.5, std::nullopt, std::nullopt, 0, DelayTrend::normal, std::nullopt});
    EXPECT_GT(estimator.estimateBps(), 6'000'000);
}

TEST(BandwidthEstimatorTest, IgnoresNanNegativeAndMissingInputs) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    BandwidthEstimator estimator(start, 16'000'000);
    for (double t = 0; t < 5; t += step) {
        estimator.update({t, nan, -1.0, nan, std::nullopt, -1.0});
        estimator.update({t, inf, std::nullopt, -3.0, std::nullopt, nan});
        estimator.update({nan, 1e6, 1e6, 90, DelayTrend::overusing, 0.02});
    }
    EXPECT_EQ(estimator.estimateBps(), start);
    // A window from the past is dropped rather than trusted.
    estimator.update({1.0, 1e6, 1e6, 90, DelayTrend::overusing, 0.02});
    EXPECT_EQ(estimator.estimateBps(), start);
    // A loss of 50 % with a negative received rate still cuts, by half the loss.
    estimator.update({6.0, 1e6, -5.0, 50, std::nullopt, std::nullopt});
    EXPECT_EQ(estimator.estimateBps(), 1'500'000);
}

TEST(BandwidthEstimatorTest, BoundsClampAndRestart) {
    BandwidthEstimator estimator(start, 16'000'000);
    estimator.setBounds({std::nullopt, 40'000'000, std::nullopt});
    EXPECT_EQ(estimator.estimateBps(), 16'000'000);
    estimator.setBounds({std::nullopt, std::nullopt, 10'000'000});
    EXPECT_EQ(estimator.estimateBps(), 10'000'000);
    estimator.setBounds({1'000'000, 100, std::nullopt});
    EXPECT_EQ(estimator.estimateBps(), 1'000'000);
}

// For a second after a cut, a window that shows its queue draining measures the path and lifts
// the estimate to below what got through, never above where the cut began: the estimate that made
// the queue, while a receiver taking a backlog at once reads the path high. Later, a draining
// queue is another event's.
TEST(BandwidthEstimatorTest, ADrainingQueueMeasuresThePathForASecondAfterACut) {
    const auto drained = [](double at, double receivedBps) {
        BandwidthEstimator estimator(start, 16'000'000);
        estimator.setBounds({std::nullopt, std::int64_t{4'000'000}, std::nullopt});
        estimator.update({10.0, 4e6, 3e6, 0.0, DelayTrend::overusing, 0.02});
        estimator.update({10.1, 4e6, 3e6, 0.0, DelayTrend::overusing, 0.02});
        EXPECT_EQ(estimator.estimateBps(), 2'550'000);
        estimator.update({at, 3e6, receivedBps, 0.0, DelayTrend::underusing, 0.02});
        return estimator.estimateBps();
    };
    EXPECT_NEAR(static_cast<double>(drained(10.3, 4.4e6)), 4.4e6 * 0.85, 1e3);
    EXPECT_EQ(drained(10.3, 6e6), 4'000'000);
    EXPECT_EQ(drained(11.5, 4.4e6), 2'550'000);
}

}  // namespace
}  // namespace quillory

namespace quillory {
namespace {

// A probe raises the estimate to what it carried, never past its aim or the maximum, and never
// lowers it. The start-up ramp's steps go on above a probe that got through, and end at a limit
// a second probe confirms, not at one a later probe carried more than.
TEST(BandwidthEstimatorProbeTest, RaisesToWhatTheProbeCarriedAndEndsTheRampAtALimit) {
    BandwidthEstimator estimator(start, 16'000'000);
    EXPECT_EQ(estimator.probed({.bitsPerSecond = 3.5e6}, 3e6, 0), 3'000'000);
    EXPECT_TRUE(estimator.ramping());
    EXPECT_EQ(estimator.probed({.bitsPerSecond = 1e6}, 4e6, 0), 3'000'000);
    EXPECT_EQ(estimator.probed({.bitsPerSecond = 40e6}, 40e6, 0), 16'000'000);
    EXPECT_EQ(estimator.probed({.bitsPerSecond = std::nan("")}, 4e6, 0), 16'000'000);

    BandwidthEstimator ramping(start, 16'000'000);
    feed(ramping, 0, 0.5, 0);
    ramping.probed({.bitsPerSecond = 2.8e6}, 3e6, 0.55);
    // The steps are of where the ramp started: 3 and then 6 Mbit/s.
    EXPECT_EQ(feed(ramping, 0.6, 2, 0), 6'000'000);

    BandwidthEstimator limited(start, 16'000'000);
    EXPECT_EQ(limited.probed({.bitsPerSecond = 2.8e6, .pathLimited = true}, 4e6, 0), start);
    EXPECT_TRUE(limited.ramping());
    EXPECT_EQ(limited.probed({.bitsPerSecond = 2.7e6, .pathLimited = true}, 4.2e6, 0.2), 2'700'000);
    EXPECT_FALSE(limited.ramping());
    EXPECT_LT(feed(limited, 0.3, 2, 0), 3'000'000);

    // Readings a busy receiver's timing set far apart confirm nothing, nor lift the estimate.
    BandwidthEstimator apart(start, 16'000'000);
    apart.probed({.bitsPerSecond = 2.8e6, .pathLimited = true}, 4e6, 0);
    EXPECT_EQ(apart.probed({.bitsPerSecond = 3.6e6, .pathLimited = true}, 4.2e6, 0.2), start);
    EXPECT_TRUE(apart.ramping());

    BandwidthEstimator contradicted(start, 16'000'000);
    contradicted.probed({.bitsPerSecond = 2.3e6, .pathLimited = true}, 3e6, 0);
    contradicted.probed({.bitsPerSecond = 4e6}, 4e6, 0.1);
    contradicted.probed({.bitsPerSecond = 3.5e6, .pathLimited = true}, 6e6, 0.5);
    EXPECT_TRUE(contradicted.ramping());
}

// A full path that got through nearly what a probe found, within what a cut assumes, is the path
// it found, read through one window's timing of a few packets: the cut aims below what the probe
// found. One that got through less than the cut would aim at is a path that narrowed since.
TEST(BandwidthEstimatorProbeTest, AFullPathNarrowedOnlyWhereItCarriedLessThanACutAssumes) {
    const auto cutAfterProbe = [](double receivedBps) {
        BandwidthEstimator estimator(start, 16'000'000);
        estimator.probed({.bitsPerSecond = 8e6}, 8e6, 0);
        for (double t = 0.1; t < 0.25; t += step) {
            estimator.update({t, 8e6, receivedBps, 0.0, DelayTrend::overusing, 0.02});
        }
        return estimator.estimateBps();
    };
    EXPECT_NEAR(static_cast<double>(cutAfterProbe(7.2e6)), 8e6 * 0.85, 1e3);
    EXPECT_NEAR(static_cast<double>(cutAfterProbe(6.5e6)), 6.5e6 * 0.85, 1e3);
}

// Two readings of the path's limit confirm each other only close in time, the path may have
// changed since, and only where they do not contradict the estimate the stream's own clean
// feedback stands by.
TEST(BandwidthEstimatorProbeTest, LimitReadingsConfirmOnlyCloseInTimeAndNearTheEstimate) {
    BandwidthEstimator apart(start, 16'000'000);
    apart.probed({.bitsPerSecond = 2.8e6, .pathLimited = true}, 4e6, 0);
    EXPECT_EQ(apart.probed({.bitsPerSecond = 2.7e6, .pathLimited = true}, 4.2e6, 6), start);
    EXPECT_TRUE(apart.ramping());

    BandwidthEstimator misread(start, 16'000'000);
    misread.probed({.bitsPerSecond = 1.5e6, .pathLimited = true}, 3e6, 0);
    misread.probed({.bitsPerSecond = 1.45e6, .pathLimited = true}, 3e6, 0.2);
    EXPECT_TRUE(misread.ramping());
    EXPECT_FALSE(misread.atLimit());
}

// A probe lifts the estimate to 3.3 Mbit/s while the encoder still sends 2, and the delay rises
// while all that was sent gets through: the cut aims below what the probe carried, not below what
// the encoder happened to send. A path that got less through than was sent, or lost, is full at
// what got through, whatever a probe found before: a path that narrowed.
TEST(BandwidthEstimatorProbeTest, ACutSoonAfterAProbeAimsBelowWhatItCarriedUnlessThePathIsFull) {
    const auto queueAfterProbe = [](double received, double loss) {
        BandwidthEstimator estimator(start, 16'000'000);
        feed(estimator, 0, 1, 0);
        estimator.probed({.bitsPerSecond = 3.3e6}, 3.3e6, 1.05);
        for (double t = 1.1; t < 1.55; t += step) {
            estimator.update({t, 2e6, 2e6, 0.0, DelayTrend::normal, 0.02});
        }
        for (double t = 1.6; t < 2.05; t += step) {
            estimator.update({t, 2.2e6, received, loss, DelayTrend::overusing, 0.02});
        }
        return estimator.estimateBps();
    };
    EXPECT_NEAR(static_cast<double>(queueAfterProbe(2.2e6, 0)), 3.3e6 * 0.85, 1e3);
    EXPECT_NEAR(static_cast<double>(queueAfterProbe(1.6e6, 0)), 1.6e6 * 0.85, 1e3);
    EXPECT_LT(queueAfterProbe(2.2e6, 30), 2'000'000);

    // A burst's queue that the path drains faster than the estimate lowers nothing and is no
    // cut, which would hold probes back.
    BandwidthEstimator burst(start, 16'000'000);
    for (double t = 0; t < 0.35; t += step) {
        burst.update({t, 3e6, 2.9e6, 0.0, DelayTrend::overusing, 0.02});
    }
    EXPECT_EQ(burst.estimateBps(), start);
    EXPECT_FALSE(burst.lastDecreaseAt());

    // Long after the probe, the cut goes by the received rate again; the later cuts of that
    // congestion event that the delay alone makes go no lower, though the encoder, following the
    // cut, sends less.
    BandwidthEstimator late(start, 16'000'000);
    late.probed({.bitsPerSecond = 3.3e6}, 3.3e6, 0);
    for (double t = 6; t < 6.45; t += step) {
        late.update({t, 3.2e6, 2.1e6, 0.0, DelayTrend::overusing, 0.02});
    }
    const auto cut = late.estimateBps();
    EXPECT_NEAR(static_cast<double>(cut), 2.1e6 * 0.85, 1e3);
    for (double t = 6.5; t < 7.45; t += step) {
        late.update({t, 1.2e6, 1.2e6, 0.0, DelayTrend::overusing, 0.02});
    }
    EXPECT_EQ(late.estimateBps(), cut);
}

// Past the limit a probe or the last cut found, the estimate creeps; a probe that carries more
// shows room above and lifts the limit.
TEST(BandwidthEstimatorProbeTest, GrowsSlowlyPastTheLimitFoundUntilAProbeCarriesMore) {
    // A busy sender's probe that left below its aim found no limit and leaves the ramp going.
    BandwidthEstimator slowSender(start, 16'000'000);
    slowSender.probed({.bitsPerSecond = 3e6}, 4e6, 0);
    EXPECT_FALSE(slowSender.atLimit());
    EXPECT_TRUE(slowSender.ramping());
    EXPECT_GT(feed(slowSender, 0.1, 5, 0), 4'000'000);
    // Nor did one the path seemed to slow below the estimate: a busy receiver's timing.
    BandwidthEstimator busyReceiver(start, 16'000'000);
    busyReceiver.probed({.bitsPerSecond = 1.5e6, .pathLimited = true}, 3e6, 0);
    EXPECT_TRUE(busyReceiver.ramping());

    BandwidthEstimator probedLimit(start, 16'000'000);
    probedLimit.probed({.bitsPerSecond = 3e6, .pathLimited = true}, 4e6, 0);
    EXPECT_FALSE(probedLimit.atLimit());
    probedLimit.probed({.bitsPerSecond = 2.9e6, .pathLimited = true}, 4.5e6, 0.05);
    EXPECT_TRUE(probedLimit.atLimit());
    EXPECT_LT(feed(probedLimit, 0.1, 5, 0), 3'200'000);

    BandwidthEstimator estimator(start, 16'000'000);
    estimator.probed({.bitsPerSecond = 3e6}, 3e6, 0);
    EXPECT_FALSE(estimator.atLimit());
    for (double t = 6; t < 6.25; t += step) {
        estimator.update({t, 3.2e6, 2.8e6, 0.0, DelayTrend::overusing, 0.02});
    }
    EXPECT_NEAR(static_cast<double>(estimator.estimateBps()), 2.8e6 * 0.85, 1e3);
    const auto crept = feed(estimator, 6.3, 11, 0);
    EXPECT_TRUE(estimator.atLimit());
    EXPECT_GT(crept, 2'800'000);
    EXPECT_LT(crept, 2'950'000);

    estimator.probed({.bitsPerSecond = 4.4e6}, 4.5e6, 11.05);
    EXPECT_FALSE(estimator.atLimit());
    EXPECT_EQ(estimator.estimateBps(), 4'400'000);
    EXPECT_GT(feed(estimator, 11.1, 16, 0), 6'000'000);
}

// A delay that rises while all that was sent gets through, as on a busy receiver, still cuts but
// marks no limit to creep past: the estimate grows back at the usual pace.
TEST(BandwidthEstimatorProbeTest, ADelayAloneMarksNoLimit) {
    BandwidthEstimator estimator(start, 16'000'000);
    estimator.probed({.bitsPerSecond = 3e6}, 3e6, 0);
    for (double t = 6; t < 6.25; t += step) {
        estimator.update({t, 3e6, 3e6, 0.0, DelayTrend::overusing, 0.02});
    }
    EXPECT_NEAR(static_cast<double>(estimator.estimateBps()), 3e6 * 0.85, 1e3);
    EXPECT_GT(feed(estimator, 6.3, 11, 0), 3'500'000);
    EXPECT_FALSE(estimator.atLimit());
}

// A sender catching up after a stall makes a queue on a path it otherwise fits; the cut comes as
// the queue forms, when the window got only part of the path's rate through. The windows after it,
// while the queue drains at the path's rate, raise the estimate to below that rate, never above
// where the cut began. A path that narrowed shows no more than the cut assumed.
TEST(BandwidthEstimatorTest, ACutRisesToBelowWhatThePathCarriesWhileItsQueueDrains) {
    const auto afterBurst = [](double drainedBps) {
        BandwidthEstimator estimator(start, 16'000'000);
        estimator.setBounds({std::nullopt, std::int64_t{7'900'000}, std::nullopt});
        estimator.update({10.0, 5.9e6, 5.4e6, 0.0, DelayTrend::normal, 0.02});
        estimator.update({10.1, 7.4e6, 6.7e6, 0.0, DelayTrend::overusing, 0.02});
        const auto cut = estimator.estimateBps();
        for (double t = 10.2; t < 10.45; t += step) {
            estimator.update({t, 8.9e6, drainedBps, 0.0, DelayTrend::overusing, 0.02});
        }
        return std::pair{cut, estimator.estimateBps()};
    };
    const auto [cut, drained] = afterBurst(7.7e6);
    EXPECT_LT(cut, 6'000'000);
    EXPECT_NEAR(static_cast<double>(drained), 7.7e6 * 0.85, 1e3);
    const auto [narrowedCut, narrowed] = afterBurst(1.5e6);
    EXPECT_LE(narrowed, narrowedCut);
}

}  // namespace
}  // namespace quillory
