#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "media/studio_playback_policy.h"
#include "media/tests/studio_peer_fixture.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using StudioPeerTest = StudioPeerFixture;

TEST_F(StudioPeerTest, StartAddsTheTrackAndBoundsTheEstimateByThePreset) {
    make();
    start(1920, 1080, StudioPreset::quality);
    EXPECT_THAT(transport->trackIds(), ElementsAre("quillory-display"));
    EXPECT_EQ(transport->callCount("createOffer"), 1u);
    // apply's ceiling, then start's initial estimate.
    EXPECT_THAT(transport->bitrateBounds(),
                ElementsAre(BitrateBounds{.maximumBps = 28'000'000},
                            BitrateBounds{.currentBps = 2'000'000, .maximumBps = 28'000'000}));
}

TEST_F(StudioPeerTest, DescriptionGoesOutOnceWhicheverStepComesLast) {
    for (const bool gatheringFirst : {false, true}) {
        SCOPED_TRACE(gatheringFirst);
        events.clear();
        make();
        start();
        ASSERT_TRUE(transport->completeCreate(
            SessionDescription{.type = SessionDescription::Type::offer, .sdp = "sdp"}));
        run();
        transport->changeGathering(IceGatheringState::gathering);
        run();
        if (gatheringFirst) {
            gather();  // no local description yet
        }
        EXPECT_THAT(events, IsEmpty());
        ASSERT_TRUE(transport->completeSetLocal());
        run();
        if (!gatheringFirst) {
            EXPECT_THAT(events, IsEmpty()) << "never while gathering";
            gather();
        }
        gather();
        EXPECT_THAT(events, ElementsAre("description sdp"));
    }
}

TEST_F(StudioPeerTest, AnswerIsAppliedOnceEvenAfterItFailed) {
    for (const bool firstFails : {false, true}) {
        SCOPED_TRACE(firstFails);
        events.clear();
        make();
        start();
        peer->receive(studioSignal(StudioSignal::Kind::answer, sampleSDP));
        peer->receive(studioSignal(StudioSignal::Kind::answer, sampleSDP));
        EXPECT_EQ(transport->remoteDescriptionsSet().size(), 1u);
        transport->completeSetRemote(firstFails ? "rejected" : "");
        run();
        peer->receive(studioSignal(StudioSignal::Kind::answer, sampleSDP));
        EXPECT_EQ(transport->remoteDescriptionsSet().size(), 1u);
        EXPECT_EQ(transport->callCount("createAnswer"), 0u);
        if (firstFails) {
            EXPECT_THAT(events, ElementsAre("failure Could not negotiate the display stream."));
        } else {
            EXPECT_THAT(events, IsEmpty());
        }
    }
}

TEST_F(StudioPeerTest, OfferFromTheOtherSideIsAnsweredOnce) {
    make();
    peer->receive(studioSignal(StudioSignal::Kind::offer, sampleSDP));
    peer->receive(studioSignal(StudioSignal::Kind::offer, sampleSDP));
    ASSERT_EQ(transport->remoteDescriptionsSet().size(), 1u);
    EXPECT_EQ(transport->remoteDescriptionsSet()[0].type, SessionDescription::Type::offer);
    transport->completeSetRemote();
    run();
    EXPECT_EQ(transport->callCount("createAnswer"), 1u);
    describe("answer-sdp");
    gather();
    gather();
    EXPECT_THAT(events, ElementsAre("description answer-sdp"));
}

TEST_F(StudioPeerTest, UnusableSignalsAreIgnoredSilently) {
    make();
    start();
    std::string broken = sampleSDP;
    broken.replace(broken.find("sha-256"), 7, "sha-1");
    for (const StudioSignal& signal : {
             studioSignal(StudioSignal::Kind::answer, std::nullopt),
             studioSignal(StudioSignal::Kind::answer, broken),
             studioSignal(StudioSignal::Kind::stop, std::nullopt),
         }) {
        peer->receive(signal);
    }
    run();
    EXPECT_THAT(transport->remoteDescriptionsSet(), IsEmpty());
    EXPECT_THAT(events, IsEmpty());
    EXPECT_FALSE(peer->closed());
}

struct FailureCase {
    const char* name;
    void (*cause)(StudioPeerFixture&);
    const char* text;
};

class StudioPeerFailureTest : public StudioPeerFixture,
                              public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StudioPeerFailureTest, ClosesThenReportsOnceWithTheCausesText) {
    make();
    start();
    // onFailure is read before close: a handler that looks at the peer finds it closed.
    peer->onFailure = [this](const std::string& text) {
        log("failure " + text + (peer->closed() ? " (closed)" : " (open)"));
    };
    GetParam().cause(*this);
    run();
    EXPECT_THAT(events, ElementsAre("failure " + std::string(GetParam().text) + " (closed)"));
    EXPECT_TRUE(transport->closed());

    // Late completions and a second close do nothing.
    transport->completeCreate(SessionDescription{.sdp = "late"});
    transport->completeSetLocal("late");
    transport->completeSetRemote("late");
    peer->close();
    main->advance(30.0);
    EXPECT_EQ(events.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, StudioPeerFailureTest,
    ::testing::Values(
        FailureCase{"OfferNotCreated",
                    [](StudioPeerFixture& f) { f.transport->completeCreate(std::nullopt, "no"); },
                    "Could not prepare the display stream."},
        FailureCase{"LocalRejected",
                    [](StudioPeerFixture& f) {
                        f.transport->completeCreate(SessionDescription{.sdp = "x"});
                        f.main->runUntilIdle();
                        f.transport->completeSetLocal("rejected");
                    },
                    "Could not prepare the local video connection."},
        FailureCase{"RemoteRejected",
                    [](StudioPeerFixture& f) {
                        f.peer->receive(studioSignal(StudioSignal::Kind::answer, sampleSDP));
                        f.transport->completeSetRemote("rejected");
                    },
                    "Could not negotiate the display stream."},
        FailureCase{"ConnectTimeout", [](StudioPeerFixture& f) { f.main->advance(20.0); },
                    "The local video connection timed out. Try Studio again."},
        FailureCase{"ConnectionFailed",
                    [](StudioPeerFixture& f) {
                        f.transport->changeConnection(PeerConnectionState::failed);
                    },
                    "The display stream was interrupted."},
        FailureCase{"GraceRanOut",
                    [](StudioPeerFixture& f) {
                        f.transport->changeConnection(PeerConnectionState::connected);
                        f.transport->changeConnection(PeerConnectionState::disconnected);
                        f.main->runUntilIdle();
                        f.events.clear();
                        f.main->advance(3.0);
                    },
                    "The display stream was interrupted."}),
    [](const ::testing::TestParamInfo<FailureCase>& c) { return std::string(c.param.name); });

TEST_F(StudioPeerTest, WithoutATransportStartDoesNothingAndTheConnectTimeoutTells) {
    factory->refuseTransports();
    make();
    EXPECT_EQ(transport, nullptr);
    start();
    EXPECT_THAT(events, IsEmpty());
    EXPECT_FALSE(peer->makeFrameSink());
    main->advance(20.0);
    EXPECT_THAT(events,
                ElementsAre("failure The local video connection timed out. Try Studio again."));
}

TEST_F(StudioPeerTest, StartFailsWithoutATransceiver) {
    make();
    transport->refuseVideoTrack();
    start();
    EXPECT_THAT(events, ElementsAre("failure Could not create the display stream."));
    EXPECT_EQ(transport->callCount("createOffer"), 0u);
}

TEST_F(StudioPeerTest, ApplyWritesThePresetsCeilingAndKeepsTheTokenForAnEqualConfiguration) {
    make();
    start(1920, 1080, StudioPreset::responsive);
    ASSERT_EQ(transport->writtenParameters().size(), 1u);
    const RtpSendParameters written = transport->writtenParameters()[0];
    EXPECT_EQ(written.degradationPreference, DegradationPreference::maintainFramerate);
    for (const RtpEncodingParameters& encoding : written.encodings) {
        EXPECT_EQ(encoding.maxBitrateBps,
                  StudioPlaybackPolicy::maximumBitrateBps(StudioPreset::responsive));
        EXPECT_EQ(encoding.networkPriority, NetworkPriority::low);
    }

    const std::uint64_t token = peer->configurationToken();
    for (const StudioStreamConfiguration& unchanged : {
             StudioStreamConfiguration{StudioPreset::responsive, 1920, 1080},
             StudioStreamConfiguration{StudioPreset::quality, 0, 1080},
             StudioStreamConfiguration{StudioPreset::quality, 1920, 0},
         }) {
        peer->apply(unchanged);
    }
    EXPECT_EQ(peer->configurationToken(), token);
    EXPECT_EQ(transport->writtenParameters().size(), 1u);

    peer->apply({StudioPreset::quality, 1920, 1080});
    EXPECT_NE(peer->configurationToken(), token);
    EXPECT_EQ(transport->writtenParameters().back().encodings[0].maxBitrateBps, 28'000'000);
}

TEST_F(StudioPeerTest, WithoutEncoderFactoryTheSourceGetsTheFullSizeAndNoPolicyRuns) {
    make(false);
    EXPECT_EQ(transport->encoderFactory(), nullptr);
    start(1600, 1000);
    peer->submit(StudioEncoderFeedback{}, std::nullopt);
    run();
    EXPECT_THAT(transport->source()->formats(),
                ElementsAre(FakePeerVideoSource::Format{1600, 1000, 60}));
    EXPECT_FALSE(peer->operatingPolicy().has_value());
    EXPECT_THAT(points, IsEmpty());
}

TEST_F(StudioPeerTest, FirstConnectReportsRecoveryBeforeConnected) {
    make();
    start();
    connection(PeerConnectionState::connecting);
    connection(PeerConnectionState::connected);
    connection(PeerConnectionState::connected);
    EXPECT_THAT(events, ElementsAre("recovering 0", "connected", "recovering 0"));
}

TEST_F(StudioPeerTest, ShortDisconnectRecoversAndTheLateGraceDoesNothing) {
    make();
    start();
    connection(PeerConnectionState::connected);
    events.clear();
    connection(PeerConnectionState::disconnected);
    EXPECT_TRUE(peer->operatingPolicy()->suspended());
    main->advance(1.0);
    connection(PeerConnectionState::disconnected);  // arms nothing new
    main->advance(1.0);
    connection(PeerConnectionState::connected);
    EXPECT_FALSE(peer->operatingPolicy()->suspended());
    main->advance(10.0);
    EXPECT_THAT(events, ElementsAre("recovering 1", "recovering 0"));
    EXPECT_FALSE(peer->closed());
}

TEST_F(StudioPeerTest, ConnectTimeoutIsCancelledOnlyByConnected) {
    make();
    start();
    connection(PeerConnectionState::connecting);
    main->advance(19.9);
    connection(PeerConnectionState::connected);
    connection(PeerConnectionState::disconnected);
    connection(PeerConnectionState::connected);
    main->advance(30.0);
    EXPECT_FALSE(peer->closed());
}

TEST_F(StudioPeerTest, DataChannelsAreClosedAndRemoteTracksPassedOn) {
    make();
    EXPECT_TRUE(transport->openDataChannel()->closed());
    transport->addRemoteTrack("remote");
    run();
    EXPECT_THAT(events, ElementsAre("track remote"));
}

TEST_F(StudioPeerTest, TransportFailureClosesThePeerAndIsReportedOnce) {
    make();
    start();
    connection(PeerConnectionState::connected);
    events.clear();
    transport->failStream("Could not start the video encoder.");
    transport->failStream("Could not start the video encoder.");
    run();
    EXPECT_TRUE(peer->closed());
    EXPECT_EQ(transport->callCount("close"), 1u);
    EXPECT_THAT(events, ElementsAre("failure Could not start the video encoder."));
}

TEST_F(StudioPeerTest, CloseDropsEverythingAndTheTransportHearsOfIt) {
    make();
    start();
    connection(PeerConnectionState::connected);
    events.clear();
    peer->close();
    peer->close();
    EXPECT_EQ(transport->callCount("close"), 1u);
    EXPECT_FALSE(peer->makeFrameSink());
    run();
    EXPECT_FALSE(peer->operatingPolicy().has_value());
    transport->changeConnection(PeerConnectionState::failed);  // dropped: the delegate is gone
    run();
    EXPECT_THAT(events, IsEmpty());
}

}  // namespace
}  // namespace quillory
