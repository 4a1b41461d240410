#include "media/studio_recovery_evidence.h"

#include <gtest/gtest.h>

#include "studio_test_fixtures.h"

namespace quillory {
namespace {

using testing::feedbackAt;
using testing::intervalEnding;
using Condition = StudioRecoveryEvidence::Condition;

// A measured observation whose interval ends at `end`, shaped by `edit`.
template <typename Edit>
StudioAdaptationObservation measured(double end, Edit edit, Uuid epoch = Uuid({1})) {
    StudioEncoderFeedback f = feedbackAt(end, epoch);
    StudioMediaInterval i = intervalEnding(end);
    edit(f, i);
    StudioAdaptationObservation o(f, i);
    EXPECT_EQ(o.validity(), StudioAdaptationObservation::Validity::measured);
    return o;
}

StudioAdaptationObservation measured(double end) {
    return measured(end, [](auto&, auto&) {});
}

Condition gradeOne(double qp, double queue, double retransmission, int dropped = 0) {
    StudioRecoveryEvidence evidence;
    return evidence.add(measured(11.0, [&](StudioEncoderFeedback& f, StudioMediaInterval& i) {
        i.meanQP = qp;
        i.queueMS = queue;
        i.retransmissionFraction = retransmission;
        f.dropped = dropped;
    }));
}

TEST(StudioRecoveryEvidenceTest, GradesByTheWindowMeans) {
    EXPECT_EQ(gradeOne(28.0, 0.0, 0.0), Condition::improving);
    EXPECT_EQ(gradeOne(28.1, 0.0, 0.0), Condition::neutral);
    EXPECT_EQ(gradeOne(39.1, 0.0, 0.0), Condition::pressured);
    EXPECT_EQ(gradeOne(20.0, 50.0, 0.0), Condition::pressured);
    EXPECT_EQ(gradeOne(20.0, 20.0, 0.02), Condition::improving);
    EXPECT_EQ(gradeOne(20.0, 20.1, 0.0), Condition::neutral);
    EXPECT_EQ(gradeOne(20.0, 0.0, 0.05), Condition::pressured);
    EXPECT_EQ(gradeOne(20.0, 0.0, 0.0, 1), Condition::neutral);
    EXPECT_EQ(gradeOne(20.0, 0.0, 0.0, 12), Condition::pressured);
    EXPECT_EQ(gradeOne(20.0, 100.0, 0.0), Condition::pressured);
}

TEST(StudioRecoveryEvidenceTest, NewestQueueDelayAloneDeclaresPressure) {
    StudioRecoveryEvidence evidence;
    for (double end = 10.0; end < 12.5; end += 0.5) {
        evidence.add(measured(end));
    }
    // Even with four calm samples pulling the mean down, 100 ms now is pressure.
    EXPECT_EQ(evidence.add(measured(12.5,
                                    [](auto&, StudioMediaInterval& i) {
                                        i.queueMS = 100.0;
                                        i.sentPackets = 1;
                                    })),
              Condition::pressured);
}

TEST(StudioRecoveryEvidenceTest, NeedsTenFramesInTheWindow) {
    const auto frames = [](int n) {
        return [n](StudioEncoderFeedback&, StudioMediaInterval& i) { i.frames = n; };
    };
    StudioRecoveryEvidence evidence;
    EXPECT_EQ(evidence.add(measured(11.0, frames(9))), Condition::insufficient);
    EXPECT_EQ(evidence.add(measured(11.5, frames(1))), Condition::improving);
    EXPECT_DOUBLE_EQ(*evidence.meanQP(), 24.0);
}

TEST(StudioRecoveryEvidenceTest, WindowKeepsThreeSecondsAndEightSamplesOfOneEpoch) {
    StudioRecoveryEvidence evidence;
    for (int k = 0; k < 12; ++k) {
        evidence.add(measured(20.0 + 0.25 * k));
    }
    EXPECT_EQ(evidence.sampleCount(), 8u);
    evidence.add(measured(30.0));
    EXPECT_EQ(evidence.sampleCount(), 1u);
    evidence.add(measured(31.0));
    evidence.add(measured(
        32.0, [](auto&, auto&) {}, Uuid({2})));
    EXPECT_EQ(evidence.sampleCount(), 1u);
    EXPECT_EQ(evidence.epoch(), Uuid({2}));
}

TEST(StudioRecoveryEvidenceTest, UnmeasuredObservationsAddNothing) {
    StudioRecoveryEvidence evidence;
    evidence.add(measured(11.0));
    ASSERT_EQ(evidence.condition(), Condition::improving);

    EXPECT_EQ(evidence.add(StudioAdaptationObservation(feedbackAt(12.0), std::nullopt)),
              Condition::insufficient);
    EXPECT_EQ(evidence.condition(), Condition::improving);

    StudioEncoderFeedback quiet = feedbackAt(15.0);
    quiet.output = 0;
    StudioMediaInterval silent = intervalEnding(15.0);
    silent.frames = 0;
    EXPECT_EQ(evidence.add(StudioAdaptationObservation(quiet, silent)), Condition::idle);
    EXPECT_EQ(evidence.sampleCount(), 0u);  // pruned, none added
    EXPECT_DOUBLE_EQ(*evidence.meanQP(), 24.0);

    StudioMediaInterval noStats = intervalEnding(15.5);
    noStats.meanQP.reset();
    EXPECT_EQ(evidence.add(StudioAdaptationObservation(feedbackAt(15.5), noStats)),
              Condition::insufficient);
    EXPECT_EQ(evidence.condition(), Condition::insufficient);
}

TEST(StudioRecoveryEvidenceTest, MeansAreWeightedByFramesPacketsOrSeconds) {
    StudioRecoveryEvidence evidence;
    evidence.add(measured(11.0, [](auto&, StudioMediaInterval& i) {
        i.frames = 30;
        i.meanQP = 20.0;
        i.sentPackets.reset();
        i.sentBytes.reset();
        i.seconds = 3.0;
        i.queueMS = 10.0;
    }));
    // Weighted 3:1 by seconds the mean queue is 30 ms, too long to improve.
    EXPECT_EQ(evidence.add(measured(11.5,
                                    [](auto&, StudioMediaInterval& i) {
                                        i.frames = 10;
                                        i.meanQP = 40.0;
                                        i.sentPackets.reset();
                                        i.sentBytes.reset();
                                        i.queueMS = 90.0;
                                    })),
              Condition::neutral);
    EXPECT_DOUBLE_EQ(*evidence.meanQP(), 25.0);
}

}  // namespace
}  // namespace quillory
