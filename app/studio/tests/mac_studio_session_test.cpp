#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/studio/tests/mac_studio_session_fixture.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;
using Kind = StudioSignal::Kind;

using MacStudioSessionTest = MacStudioSessionFixture;

TEST_F(MacStudioSessionTest,
       ASecondRequestReplacesTheStreamSilentlyAndTheFirstsCallbacksAreIgnored) {
    const Uuid first = started();
    const auto firstPeer = session->peer();
    const auto firstTransport = transport();
    const auto firstCapture = captures.back();
    const Uuid second = request();

    EXPECT_TRUE(sent.empty());  // no "stop" for the first stream
    EXPECT_TRUE(firstCapture->stopped);
    EXPECT_TRUE(firstTransport->closed());
    EXPECT_EQ(session->streamID(), second);

    // The first stream's failure and encoder callbacks come late.
    firstCapture->onFailure("capture gone");
    factories.front()->onFailure()("encoder gone");
    run();
    EXPECT_EQ(session->status(), MacStudioSession::startingText);
    EXPECT_FALSE(session->failure());
    EXPECT_TRUE(sent.empty());
    (void)first;
}

TEST_F(MacStudioSessionTest, AnAnswerIsTakenOnlyForTheStreamOnceAndOnlyWhenItFindsAPeer) {
    answer(Uuid::random());  // before any request
    const Uuid id = request();
    answer(id);  // the peer does not exist yet: nothing is taken
    deliverContent();
    answer(Uuid::random());  // another id
    EXPECT_EQ(transport()->remoteDescriptionsSet().size(), 0u);

    describe();
    answer(id);
    answer(id);  // a second answer is ignored
    EXPECT_EQ(transport()->remoteDescriptionsSet().size(), 1u);
    connect();
    captures.back()->complete();
    run();
    EXPECT_EQ(session->status(), "Sharing Main display");
}

TEST_F(MacStudioSessionTest, StopAndFailureOfAnotherStreamChangeNothing) {
    const Uuid id = sharing();
    for (const Kind kind : {Kind::stop, Kind::failure}) {
        session->handle(StudioSignal{.id = Uuid::random(), .kind = kind, .message = "x"});
        run();
        EXPECT_EQ(session->streamID(), id);
        EXPECT_TRUE(session->active());
    }
    session->handle(StudioSignal{.id = id, .kind = Kind::failure, .message = "tablet failed"});
    run();
    EXPECT_FALSE(session->active());
    EXPECT_FALSE(session->failure());  // the tablet's message is not published
    EXPECT_THAT(sentKinds(), ElementsAre(Kind::offer));
}

TEST_F(MacStudioSessionTest, ConfigureBeforeTheCaptureOrWithoutPresetOrSettingsIsDroppedForGood) {
    const Uuid id = request();
    const StudioSignal complete{.id = id,
                                .kind = Kind::configure,
                                .viewport = StudioViewport{800, 600, false},
                                .preset = StudioPreset::quality,
                                .settingsID = Uuid::random()};
    session->handle(complete);  // no capture yet
    deliverContent();
    StudioSignal noPreset = complete;
    noPreset.preset.reset();
    StudioSignal noSettings = complete;
    noSettings.settingsID.reset();
    session->handle(noPreset);
    session->handle(noSettings);
    run();
    EXPECT_TRUE(captures.back()->pending.empty());
}

TEST_F(MacStudioSessionTest, StopWhileIdleSendsNothingAndMapsInputToTheMainDisplayOnly) {
    session->stop();
    run();
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(log.empty());
    ASSERT_EQ(mappings.size(), 1u);
    EXPECT_EQ(mappings[0], DesktopInputTarget::mainDisplay(*desktop));
}

TEST_F(MacStudioSessionTest, StopWhileSharingTellsTheTabletAndEndsTheBoundary) {
    const Uuid id = sharing();
    log.clear();
    session->stop();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].kind, Kind::stop);
    EXPECT_EQ(sent[1].id, id);
    EXPECT_THAT(log, ElementsAre("boundary"));
    EXPECT_FALSE(session->status());
    EXPECT_EQ(mappings.back(), DesktopInputTarget::mainDisplay(*desktop));
}

TEST_F(MacStudioSessionTest, ResetKeepsOrEmptiesTheCatalogForTheNextRequest) {
    desktop->setShareableWindows(std::vector<ShareableWindow>{shareableWindow(30, "Editor")});
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep);
        listSources();
        const auto sources = *lastOf(Kind::sources)->sources;
        ASSERT_EQ(sources.size(), 3u);
        session->reset(keep);
        sent.clear();
        started(sources[2].id);
        if (keep) {
            EXPECT_TRUE(session->capture());
            EXPECT_EQ(mappings.back().windowID, 30u);
        } else {
            EXPECT_FALSE(session->active());
            EXPECT_EQ(session->failure(),
                      "That window or display is unavailable. Choose another source.");
        }
        session->reset(false);
        previews.clear();
    }
}

TEST_F(MacStudioSessionTest, AFailureStaysPublishedWithoutStatusUntilTheNextRequest) {
    const Uuid id = started();
    transport()->completeCreate(std::nullopt, "no offer");
    run();
    ASSERT_TRUE(session->failure());
    EXPECT_FALSE(session->status());
    EXPECT_FALSE(session->active());
    EXPECT_EQ(sent.back().kind, Kind::failure);
    EXPECT_EQ(sent.back().id, id);
    EXPECT_EQ(sent.back().message, session->failure());
    request();
    EXPECT_FALSE(session->failure());
}

TEST_F(MacStudioSessionTest, FailureTextsOfTheStart) {
    desktop->setShareableWindows(std::vector<ShareableWindow>{shareableWindow(30, "Editor")});
    const auto sources = [&] {
        listSources();
        return *lastOf(Kind::sources)->sources;
    }();
    struct Case {
        const char* name;
        std::optional<Uuid> sourceID;
        std::function<void()> arrange;
        bool contentFails;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"unknown source", Uuid::random(), [] {}, false,
         "That window or display is unavailable. Choose another source."},
        {"window gone", sources[2].id,
         [&] { desktop->setShareableWindows(std::vector<ShareableWindow>{}); }, false,
         "That window or display is unavailable. Choose another source."},
        {"no main display", std::nullopt,
         [&] {
             desktop->setDisplays({{.id = 9, .bounds = {0, 0, 800, 600}}});
         },
         true, ""},
        {"content unreadable", Uuid::random(), [] {}, true,
         "Quillory could not read this computer's displays and windows. Try Studio again."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        request(c.sourceID);
        // Nothing fails before the content is read.
        EXPECT_FALSE(session->failure());
        EXPECT_TRUE(session->active());
        if (std::string(c.name) == "no main display") {
            // The content without the desktop's main display.
            auto done = std::move(contentReads.front());
            contentReads.pop_front();
            ShareableContent other;
            other.displays = {{.id = 3, .bounds = {0, 0, 800, 600}}};
            done(other);
            run();
            EXPECT_EQ(session->failure(), "The main display is unavailable.");
        } else {
            deliverContent(!c.contentFails);
            EXPECT_EQ(session->failure(), c.text);
        }
        EXPECT_EQ(sent.back().kind, Kind::failure);
    }
}

TEST_F(MacStudioSessionTest, ASupersededStartEndsWithoutEffect) {
    request();
    const Uuid second = request();
    ASSERT_EQ(contentReads.size(), 2u);
    deliverContent();  // the first start's content
    EXPECT_EQ(transports->createCount(), 0u);
    EXPECT_EQ(session->status(), MacStudioSession::startingText);
    deliverContent();
    EXPECT_EQ(transports->createCount(), 1u);
    EXPECT_EQ(session->streamID(), second);
}

TEST_F(MacStudioSessionTest, TheOfferCarriesTheStreamSizeAndTheSourceTitle) {
    desktop->setShareableWindows(std::vector<ShareableWindow>{shareableWindow(30, "Editor")});
    listSources();
    const auto sources = *lastOf(Kind::sources)->sources;
    sent.clear();
    const Uuid id = started(sources[2].id);
    describe();
    ASSERT_EQ(sent.size(), 1u);
    const auto& offer = sent[0];
    EXPECT_EQ(offer.kind, Kind::offer);
    EXPECT_EQ(offer.id, id);
    EXPECT_EQ(offer.sourceName, "Window 30");
    EXPECT_EQ(offer.width, 800);
    EXPECT_EQ(offer.height, 600);
    EXPECT_TRUE(offer.isValid());
    EXPECT_FALSE(offer.sourceID);
    EXPECT_EQ(captureLimits.back(), 1920);
}

// No desktop control access here, as on a stock desktop: activating a window needs none.
TEST_F(MacStudioSessionTest, AWindowWithAnApplicationIsActivatedWhileTheStreamLasts) {
    auto ownerless = shareableWindow(32, "");
    ownerless.application.reset();
    desktop->setShareableWindows(std::vector<ShareableWindow>{
        shareableWindow(30, "Editor"), shareableWindow(31, "Remote", std::nullopt), ownerless});
    desktop->setWindows(std::vector<WindowInfo>{{.id = 30}, {.id = 31}, {.id = 32}});
    listSources();
    const auto sources = *lastOf(Kind::sources)->sources;
    const auto sourceNamed = [&](const std::string& name) {
        return std::find_if(sources.begin(), sources.end(),
                            [&](const StudioSource& s) { return s.name == name; })
            ->id;
    };

    struct Case {
        std::string name;
        double wait;
        bool raised;
        bool activated;
    };
    // The remote window's application runs elsewhere: it is still brought forward.
    for (const Case& c :
         {Case{"Main display", 1.0, false, false}, Case{"Window 32", 1.0, false, false},
          Case{"Window 30", 0.34, true, false}, Case{"Window 30", 0.36, true, true},
          Case{"Window 31", 0.36, true, true}}) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.wait));
        const int raisesBefore = desktop->raiseCount();
        log.clear();
        started(sourceNamed(c.name));
        main->advance(c.wait);
        session->stop();
        main->advance(1.0);
        EXPECT_EQ(desktop->raiseCount() - raisesBefore, c.raised ? 1 : 0);
        EXPECT_EQ(std::count(log.begin(), log.end(), "activated"), c.activated ? 1 : 0);
        // The window target carries its process only when it has one.
        if (c.name == "Window 31") {
            const auto target = mappings[mappings.size() - 2];
            EXPECT_EQ(target.windowID, 31u);
            EXPECT_FALSE(target.processID);
        }
    }
}

TEST_F(MacStudioSessionTest, RecoveringStatusFollowsOnlyFromTheReconnectingText) {
    sharing();
    log.clear();
    session->peer()->onRecovering(true);
    EXPECT_THAT(log, ElementsAre("boundary"));
    EXPECT_EQ(session->status(), MacStudioSession::reconnectingText);
    session->peer()->onRecovering(false);
    EXPECT_EQ(session->status(), "Sharing Main display");

    // During the start, recovery ending keeps the start's text.
    request();
    deliverContent();
    session->peer()->onRecovering(false);
    EXPECT_EQ(session->status(), MacStudioSession::startingText);
}

TEST_F(MacStudioSessionTest, FeedbackOfAnOlderEpochOrAReplacedPeerNeverReachesSubmit) {
    sharing();
    control->runUntilIdle();
    const auto factory = factories.back();
    const auto mailbox = factory->feedback();
    const Uuid first = Uuid::random();
    const Uuid second = Uuid::random();
    mailbox->openEpoch(first, 1600, 900, 8'000'000, 60);
    mailbox->updateBitrate(9'000'000, first);
    run();
    EXPECT_EQ(control->runUntilIdle(), 1u);  // the current epoch's report is submitted

    mailbox->updateBitrate(9'500'000, first);
    mailbox->openEpoch(second, 1600, 900, 8'000'000, 60);  // before the report reaches main
    run();
    EXPECT_EQ(control->runUntilIdle(), 0u);

    mailbox->updateBitrate(10'000'000, second);
    request();  // the stream, and its peer, are replaced
    run();
    deliverContent();
    control->runUntilIdle();
    mailbox->updateBitrate(11'000'000, second);
    run();
    EXPECT_EQ(control->runUntilIdle(), 0u);
}

TEST_F(MacStudioSessionTest, StatisticsCloseTheFeedbackWindowOnlyWhileAnEpochIsOpen) {
    sharing();
    control->runUntilIdle();
    session->peer()->onStatistics(StudioStatisticsReport{}, std::nullopt);
    run();
    EXPECT_EQ(control->runUntilIdle(), 0u);  // no epoch: no feedback
    factories.back()->feedback()->openEpoch(Uuid::random(), 1600, 900, 8'000'000, 60);
    session->peer()->onStatistics(StudioStatisticsReport{}, std::nullopt);
    run();
    EXPECT_EQ(control->runUntilIdle(), 1u);
}

TEST_F(MacStudioSessionTest, CaptureStartFailureAndSourceFormatChanges) {
    started();
    describe();
    answer(*session->streamID());
    connect();
    session->peer()->onSourceFormatChanged();
    EXPECT_EQ(captures.back()->refreshes, 1);
    captures.back()->complete("no stream");
    run();
    EXPECT_EQ(session->failure(),
              "Screen sharing could not start on this computer. Try Studio again.");
}

}  // namespace
}  // namespace quillory
