#include <gtest/gtest.h>

#include <optional>

#include "media/tests/studio_loopback_fixture.h"

namespace quillory {
namespace {

using StudioBandwidthTest = StudioLoopbackFixture;

// On a clean loopback path the estimate leaves 2 Mbit/s by the probes sent from it (at 1.5 × and
// 2 ×, then by steps of 1.5 × what they carried), shows on the selected pair and reaches the
// encoder as its target.
TEST_F(StudioBandwidthTest, TransportFeedbackRampsTheEstimateIntoStatisticsAndTheEncoder) {
    makePeer();
    connect();
    if (HasFatalFailure()) {
        return;
    }
    startSource();
    const bool ramped = waitFor(
        [this] {
            return !reports.empty() &&
                   statisticValue(reports.back(), "candidate-pair", "availableOutgoingBitrate")
                           .value_or(0) >= 6'000'000;
        },
        10);
    stopSource();
    ASSERT_TRUE(ramped);

    std::lock_guard lock(mutex);
    const StudioStatisticsReport& last = reports.back();
    const double available = *statisticValue(last, "candidate-pair", "availableOutgoingBitrate");
    EXPECT_LE(available, 16'000'000);
    EXPECT_GE(statisticValue(last, "outbound-rtp", "targetBitrate").value_or(0), 6'000'000);
    EXPECT_LE(statisticValue(last, "outbound-rtp", "targetBitrate").value_or(0), available);
    // The estimate starts from 2 Mbit/s. The first report shows that start, or what the first
    // probes measured from it when their feedback came sooner: on a clean path never less, and
    // never more than the maximum.
    const auto first =
        statisticValue(reports.front(), "candidate-pair", "availableOutgoingBitrate");
    if (first) {
        EXPECT_GE(*first, 2'000'000);
        EXPECT_LE(*first, 16'000'000);
    }
}

}  // namespace
}  // namespace quillory
