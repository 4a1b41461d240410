#include "platform/webrtc/probe_controller.h"

#include <gtest/gtest.h>

#include "platform/webrtc/alr_detector.h"
#include "platform/webrtc/probing_configuration.h"

namespace quillory {
namespace {

const std::map<std::string, std::string> trials = {
    {"WebRTC-ProbingScreenshareBwe", "1.0,100,80,40,-60,3"},
    {"WebRTC-Bwe-ProbingConfiguration",
     "p1:1.5,p2:2,step_size:1.5,alr_scale:1.5,alloc_current_bwe_limit:1.5"},
};

TEST(ProbingConfigurationTest, ReadsBothTrialsAndRefusesAnythingElse) {
    const auto configuration = probingConfiguration(trials);
    ASSERT_TRUE(configuration);
    EXPECT_EQ(configuration->firstScale, 1.5);
    EXPECT_EQ(configuration->secondScale, 2.0);
    EXPECT_EQ(configuration->stepScale, 1.5);
    EXPECT_EQ(configuration->applicationLimitedScale, 1.5);
    EXPECT_EQ(configuration->currentEstimateLimit, 1.5);
    EXPECT_EQ(configuration->applicationLimit.usagePercent, 80);
    EXPECT_EQ(configuration->applicationLimit.startBudgetPercent, 40);
    EXPECT_EQ(configuration->applicationLimit.stopBudgetPercent, -60);

    for (const auto& [key, value] : std::map<std::string, std::string>{
             {"WebRTC-ProbingScreenshareBwe", "1.0,100,80,40,-60"},
             {"WebRTC-ProbingScreenshareBwe", "1.0,100,80,-60,40,3"},
             {"WebRTC-ProbingScreenshareBwe", "x,100,80,40,-60,3"},
             {"WebRTC-Bwe-ProbingConfiguration", "p1:1.5,p3:2"},
             {"WebRTC-Bwe-ProbingConfiguration", "p1:-1"},
             {"WebRTC-Bwe-ProbingConfiguration", "p1"},
         }) {
        auto changed = trials;
        changed[key] = value;
        EXPECT_FALSE(probingConfiguration(changed)) << value;
        changed.erase(key);
        EXPECT_FALSE(probingConfiguration(changed)) << key << " absent";
    }
}

class ProbeControllerTest : public testing::Test {
  protected:
    ProbeController controller{*probingConfiguration(trials), 16e6};
};

// At the start 1.5 × and 2 ×; a result that got through leads by the step, never past 1.5 × the
// estimate or the maximum; a reading of the path's limit, or a late result, leads nowhere.
TEST_F(ProbeControllerTest, StartsTwiceAndStepsOnlyFromTheHighestResultThatGotThrough) {
    constexpr auto through = ProbeReading::gotThrough;
    const auto first = controller.start(2e6, 0);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].targetBps, 3e6);
    EXPECT_EQ(first[1].targetBps, 4e6);
    EXPECT_TRUE(controller.start(2e6, 0.1).empty());
    // The lower probe's result says less than the higher one's.
    EXPECT_TRUE(controller.resultArrived(first[0], through, 3e6, 3e6, 0.2).empty());
    const auto step = controller.resultArrived(first[1], through, 4e6, 4e6, 0.2);
    ASSERT_EQ(step.size(), 1u);
    EXPECT_EQ(step[0].targetBps, 6e6);
    // The path slowed it: it carries no more, and a higher probe would only fill its queue.
    EXPECT_TRUE(
        controller.resultArrived(step[0], ProbeReading::limitReading, 5.2e6, 4.1e6, 0.3).empty());

    ProbeController late{*probingConfiguration(trials), 16e6};
    const auto probes = late.start(2e6, 0);
    EXPECT_TRUE(late.resultArrived(probes[1], through, 4e6, 4e6, 1.5).empty());

    ProbeController capped{*probingConfiguration(trials), 5e6};
    const auto near = capped.start(2e6, 0);
    ASSERT_EQ(near.size(), 2u);
    // 1.5 × 4.5 would pass the maximum; the maximum lies too close above the estimate to prove.
    EXPECT_TRUE(capped.resultArrived(near[1], through, 4.6e6, 4.6e6, 0.2).empty());
}

// A probe a busy sender sent short goes again at its aim, twice in a row at most; a lower one
// does not, being no further lead, and a misread one never does: it may have met a full queue.
TEST_F(ProbeControllerTest, TheHighestProbeSentShortGoesAgainAFewTimes) {
    constexpr auto sentShort = ProbeReading::sentShort;
    const auto first = controller.start(2e6, 0);
    EXPECT_TRUE(controller.resultArrived(first[1], ProbeReading::misread, 1e6, 3e6, 0.1).empty());
    EXPECT_TRUE(controller.resultArrived(first[0], sentShort, 2e6, 3e6, 0.1).empty());
    auto again = controller.resultArrived(first[1], sentShort, 2e6, 3e6, 0.1);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].targetBps, 4e6);
    again = controller.resultArrived(again[0], sentShort, 2e6, 3e6, 0.2);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_TRUE(controller.resultArrived(again[0], sentShort, 2e6, 3e6, 0.3).empty());
}

TEST_F(ProbeControllerTest, FirstProbesCutShortGoAgain) {
    const auto first = controller.start(2e6, 0);
    controller.cutShort(first[0]);
    const auto again = controller.start(2.5e6, 1);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].targetBps, 3.75e6);
}

// Application-limited for the interval: a probe at 1.5 × the estimate, then none for another
// interval; not while the sender uses its estimate.
TEST_F(ProbeControllerTest, ProbesEveryIntervalWhileApplicationLimited) {
    controller.start(2e6, 0);
    EXPECT_TRUE(controller.process(3e6, std::nullopt, 20).empty());
    EXPECT_TRUE(controller.process(3e6, 18.0, 20).empty());
    const auto probe = controller.process(3e6, 10.0, 20);
    ASSERT_EQ(probe.size(), 1u);
    EXPECT_EQ(probe[0].targetBps, 4.5e6);
    EXPECT_TRUE(controller.process(3e6, 10.0, 24).empty());
    EXPECT_EQ(controller.process(3e6, 10.0, 25.1).size(), 1u);
}

// A still screen becomes application-limited within the budget's window; a stream that spends
// its estimate leaves that state.
TEST(AlrDetectorTest, StillScreenIsLimitedUntilTheStreamSpendsItsEstimate) {
    AlrDetector detector(probingConfiguration(trials)->applicationLimit);
    detector.setEstimate(4e6);
    constexpr std::int64_t millisecond = 1'000'000;
    std::int64_t at = 0;
    // Sending the whole estimate.
    for (; at < 1000 * millisecond; at += 10 * millisecond) {
        detector.sent(5000, at);
    }
    EXPECT_FALSE(detector.limitedSince(at));
    // Spent ahead by a whole budget: 300 ms of nothing is not enough, 800 ms is.
    EXPECT_FALSE(detector.limitedSince(at + 300 * millisecond));
    at += 800 * millisecond;
    const auto since = detector.limitedSince(at);
    ASSERT_TRUE(since);
    for (std::int64_t end = at + 100 * millisecond; at < end; at += 10 * millisecond) {
        detector.sent(100, at);
    }
    EXPECT_EQ(detector.limitedSince(at), since);
    for (std::int64_t end = at + 2000 * millisecond; at < end; at += 10 * millisecond) {
        detector.sent(6000, at);
    }
    EXPECT_FALSE(detector.limitedSince(at));
}

}  // namespace
}  // namespace quillory
