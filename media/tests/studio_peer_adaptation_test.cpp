#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "media/studio_source_fit.h"
#include "media/studio_source_size.h"
#include "media/tests/studio_peer_fixture.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using StudioPeerStatisticsTest = StudioPeerFixture;
using StudioPeerAdaptationTest = StudioPeerFixture;
using StudioPeerFramesTest = StudioPeerFixture;

StudioStatisticsReport outbound(double seconds, double frames) {
    return StudioStatisticsReport{{StudioStatistics{
        .id = "OT01",
        .type = "outbound-rtp",
        .timestampMicroseconds = seconds * 1e6,
        .values = {{"framesEncoded", frames}},
    }}};
}

TEST_F(StudioPeerStatisticsTest, OneRequestInFlightAndTheSamplerStepsWithArrivalTime) {
    make();
    start();
    main->advance(5.0);
    EXPECT_EQ(transport->callCount("requestStatistics"), 0u) << "not before connected";
    connection(PeerConnectionState::connected);
    main->advance(1.0);
    EXPECT_EQ(transport->pendingStatistics(), 1u);
    main->advance(2.0);
    EXPECT_EQ(transport->pendingStatistics(), 1u) << "pending ticks are skipped, not queued";

    const double firstArrival = clock->nowSeconds();
    ASSERT_TRUE(transport->completeStatistics(outbound(1.0, 0.0)));
    run();
    EXPECT_FALSE(peer->statisticsPending());
    main->advance(1.0);
    clock->advance(0.25);
    ASSERT_TRUE(transport->completeStatistics(outbound(2.0, 60.0)));
    run();
    ASSERT_EQ(intervals.size(), 2u);
    EXPECT_FALSE(intervals[0]);
    ASSERT_TRUE(intervals[1]);
    EXPECT_EQ(intervals[1]->frames, 60);
    EXPECT_EQ(intervals[1]->windowStart, firstArrival);
    EXPECT_EQ(intervals[1]->windowEnd, clock->nowSeconds());

    // The timer survives a disconnect.
    connection(PeerConnectionState::disconnected);
    main->advance(1.0);
    EXPECT_EQ(transport->pendingStatistics(), 1u);
}

TEST_F(StudioPeerStatisticsTest, AReportAfterCloseIsDropped) {
    make();
    start();
    connection(PeerConnectionState::connected);
    main->advance(1.0);
    peer->close();
    transport->completeStatistics(outbound(1.0, 0.0));
    run();
    EXPECT_TRUE(peer->statisticsPending());
    EXPECT_THAT(intervals, IsEmpty());
}

TEST_F(StudioPeerStatisticsTest, AnUnansweredRequestIsGivenUpAndItsLateReplyDropped) {
    for (const bool interrupted : {false, true}) {
        SCOPED_TRACE(interrupted);
        intervals.clear();
        make();
        start();
        connection(PeerConnectionState::connected);
        main->advance(1.0);
        ASSERT_EQ(transport->pendingStatistics(), 1u);
        if (interrupted) {
            transport->completeStatistics(std::nullopt);
            run();
            EXPECT_FALSE(peer->statisticsPending());
            main->advance(1.0);
        } else {
            // The watchdog gives the request up just before the tick due at the same time.
            main->advance(5.0);
        }
        EXPECT_EQ(transport->pendingStatistics(), interrupted ? 1u : 2u);
        if (!interrupted) {
            transport->completeStatistics(outbound(1.0, 0.0));  // the abandoned request
            run();
            EXPECT_THAT(intervals, IsEmpty());
            EXPECT_TRUE(peer->statisticsPending());
        }
        transport->completeStatistics(outbound(2.0, 30.0));
        run();
        EXPECT_EQ(intervals.size(), 1u);
        EXPECT_FALSE(peer->statisticsPending());
    }
}

TEST_F(StudioPeerStatisticsTest, ExtraRequestLeavesThePendingFlagAlone) {
    make();
    start();
    int delivered = 0;
    peer->statistics([&](const StudioStatisticsReport&) { ++delivered; });
    run();
    EXPECT_FALSE(peer->statisticsPending());
    transport->completeStatistics(outbound(1.0, 0.0));
    run();
    peer->statistics([&](const StudioStatisticsReport&) { ++delivered; });
    run();
    peer->close();
    transport->completeStatistics(outbound(2.0, 0.0));
    run();
    EXPECT_EQ(delivered, 1);
}

TEST_F(StudioPeerAdaptationTest, TwoQuickConfigurationsReachTheOwnerOnce) {
    make();
    peer->start(1920, 1080, StudioPreset::balanced);
    peer->apply({StudioPreset::balanced, 2388, 1668});
    run();
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0],
              StudioOperatingPointPolicy::selectInitial(
                  StudioOperatingPointPolicy::makeCandidates(2388, 1668, StudioPreset::balanced),
                  2'000'000));
}

TEST_F(StudioPeerAdaptationTest, SuccessAdaptsTheSourceThenMarksThePointApplied) {
    make();
    start();
    ASSERT_EQ(points.size(), 1u);
    EXPECT_FALSE(peer->operatingPolicy()->nextDeadline());
    const StudioOperatingPoint point = points[0];
    completions[0](true);
    run();
    EXPECT_THAT(transport->source()->formats(),
                ElementsAre(FakePeerVideoSource::Format{
                    point.size.requestWidth, point.size.requestHeight, point.framesPerSecond}));
    EXPECT_EQ(transport->writtenParameters().back().encodings[0].maxFramerate,
              point.framesPerSecond);
    EXPECT_EQ(events.back(), "format");
    EXPECT_TRUE(peer->operatingPolicy()->nextDeadline()) << "markApplied ran";

    // The source then produces exactly the size the policy waits for.
    const std::optional<VideoSourceFit> fit = transport->source()->fitFor(1920, 1080);
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->width, point.size.width);
    EXPECT_EQ(fit->height, point.size.height);
}

TEST_F(StudioPeerAdaptationTest, StaleCompletionsAreIgnoredAndACurrentFalseFails) {
    make();
    start();
    ASSERT_EQ(completions.size(), 1u);
    peer->apply({StudioPreset::quality, 1920, 1080});
    run();
    ASSERT_EQ(completions.size(), 2u);
    completions[0](false);
    completions[0](true);
    run();
    EXPECT_FALSE(peer->closed());
    EXPECT_THAT(transport->source()->formats(), IsEmpty());

    completions[1](false);
    run();
    EXPECT_TRUE(peer->closed());
    EXPECT_EQ(events.back(), "failure Could not apply the display format.");
}

TEST_F(StudioPeerAdaptationTest, ACompletionFromAnotherThreadIsMovedToTheMainThread) {
    make();
    start();
    std::thread other([&] { completions[0](true); });
    other.join();
    EXPECT_THAT(transport->source()->formats(), IsEmpty());
    run();
    EXPECT_EQ(transport->source()->formats().size(), 1u);
}

TEST_F(StudioPeerFramesTest, FramesPassOnlyWhileConnectedAndTimeMovesForward) {
    make();
    EXPECT_FALSE(peer->makeFrameSink()) << "no sink before start";
    start();
    const StudioFrameSink sink = peer->makeFrameSink();
    ASSERT_TRUE(sink);
    const auto buffer = PixelBuffer::allocate(16, 16);
    sink(buffer, 100);  // before connected
    connection(PeerConnectionState::connected);
    sink(buffer, 200);
    sink(buffer, 200);  // not later
    sink(buffer, 150);  // a frame overtaken by a refresh
    sink(buffer, 300);
    connection(PeerConnectionState::disconnected);
    sink(buffer, 400);
    connection(PeerConnectionState::connected);
    sink(buffer, 500);
    peer->close();
    sink(buffer, 600);
    EXPECT_THAT(transport->source()->timestamps(), ElementsAre(200, 300, 500));
    EXPECT_FALSE(peer->makeFrameSink());
}

// The fit the source applies is the one the ladder predicts, from a centred crop.
TEST(StudioSourceFitTest, MatchesTheLadderFromACentredCrop) {
    struct Case {
        int sourceWidth, sourceHeight, requestWidth, requestHeight;
        VideoSourceFit expected;
    };
    const Case cases[] = {
        {1920, 1080, 1440, 810, {0, 0, 1920, 1080, 1280, 720}},
        {1920, 1080, 1920, 1080, {0, 0, 1920, 1080, 1920, 1080}},
        // A 4:3 request on a 16:9 source keeps the middle.
        {1920, 1080, 1440, 1080, {240, 0, 1440, 1080, 1440, 1080}},
        {1920, 1200, 1920, 1080, {0, 60, 1920, 1080, 1920, 1080}},
    };
    for (const Case& c : cases) {
        const VideoSourceFit fit =
            studioSourceFit(c.sourceWidth, c.sourceHeight, c.requestWidth, c.requestHeight);
        EXPECT_EQ(fit, c.expected) << c.requestWidth << "x" << c.requestHeight;
        const StudioSourceSize size = StudioSourceSize::fitted(c.sourceWidth, c.sourceHeight,
                                                               c.requestWidth, c.requestHeight);
        EXPECT_EQ(fit.width, size.width);
        EXPECT_EQ(fit.height, size.height);
    }
}

}  // namespace
}  // namespace quillory
