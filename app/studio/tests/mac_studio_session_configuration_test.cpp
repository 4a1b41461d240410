#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "app/studio/tests/mac_studio_session_fixture.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;
using Kind = StudioSignal::Kind;

class MacStudioSessionConfigurationTest : public MacStudioSessionFixture {
  protected:
    // Completions still waiting in a capture answer into `answers` when they are dropped.
    void TearDown() override {
        captures.clear();
        MacStudioSessionFixture::TearDown();
    }

    Uuid configure(StudioPreset preset = StudioPreset::quality) {
        const Uuid settings = Uuid::random();
        session->handle(StudioSignal{.id = *session->streamID(),
                                     .kind = Kind::configure,
                                     .viewport = StudioViewport{1024, 768, false},
                                     .preset = preset,
                                     .settingsID = settings});
        return settings;
    }
    void point(int fps) {
        session->peer()->onOperatingPointChanged(
            StudioOperatingPoint{.size = {1280, 720}, .framesPerSecond = fps},
            [this, fps](bool ok) { answers.emplace_back(fps, ok); });
    }
    std::vector<std::string> pendingKinds() const {
        std::vector<std::string> kinds;
        for (const auto& update : captures.back()->pending) {
            kinds.push_back(update.kind + " " + std::to_string(update.value));
        }
        return kinds;
    }
    std::vector<Uuid> configuredSettings() const {
        std::vector<Uuid> ids;
        for (const auto& signal : sent) {
            if (signal.kind == Kind::configured) {
                ids.push_back(*signal.settingsID);
            }
        }
        return ids;
    }

    std::vector<std::pair<int, bool>> answers;
};

TEST_F(MacStudioSessionConfigurationTest, BurstsCollapseToTheNewestAndConfigurationsGoFirst) {
    sharing();
    const Uuid running = configure(StudioPreset::responsive);
    run();
    EXPECT_THAT(pendingKinds(), ElementsAre("size 1600"));
    configure(StudioPreset::balanced);  // replaced before it is taken: never answered
    point(30);
    const Uuid newest = configure(StudioPreset::quality);
    point(15);
    run();
    EXPECT_THAT(answers, ElementsAre(std::pair{30, false}));

    captures.back()->complete(std::nullopt, CaptureSize{1024, 576});
    run();
    EXPECT_THAT(pendingKinds(), ElementsAre("size 4096"));
    captures.back()->complete();
    run();
    EXPECT_THAT(pendingKinds(), ElementsAre("fps 15"));
    captures.back()->complete();
    run();
    EXPECT_THAT(configuredSettings(), ElementsAre(running, newest));
    EXPECT_THAT(answers, ElementsAre(std::pair{30, false}, std::pair{15, true}));
    const auto configured = *lastOf(Kind::configured);
    EXPECT_EQ(configured.width, 1024);
    EXPECT_EQ(configured.height, 576);
    EXPECT_EQ(configured.preset, StudioPreset::quality);
    EXPECT_EQ(session->peer()->streamConfiguration(),
              (StudioStreamConfiguration{StudioPreset::quality, 1024, 576}));

    // The task ended; a later change starts a new one.
    point(60);
    run();
    EXPECT_THAT(pendingKinds(), ElementsAre("fps 60"));
}

TEST_F(MacStudioSessionConfigurationTest, TheCadenceTakesOnlyFifteenThirtyOrSixty) {
    sharing();
    const auto cadence = factories.back()->cadence();
    for (const auto& [fps, expected] : {std::pair{24, 60}, {30, 30}, {15, 15}, {45, 60}}) {
        point(fps);
        run();
        EXPECT_THAT(pendingKinds(), ElementsAre("fps " + std::to_string(fps)));
        cadence->setFramesPerSecond(0);
        captures.back()->complete();
        run();
        EXPECT_EQ(cadence->framesPerSecond(), expected) << fps;
    }
}

TEST_F(MacStudioSessionConfigurationTest, APointFromAReplacedPeerIsRefusedAtOnce) {
    sharing();
    const auto oldHandler = session->peer()->onOperatingPointChanged;
    request();
    deliverContent();
    oldHandler(StudioOperatingPoint{.size = {640, 360}, .framesPerSecond = 30},
               [this](bool ok) { answers.emplace_back(30, ok); });
    EXPECT_THAT(answers, ElementsAre(std::pair{30, false}));
    EXPECT_TRUE(captures.back()->pending.empty());
}

TEST_F(MacStudioSessionConfigurationTest, StoppingDuringAnUpdateSendsNoConfiguredAndAnswersFalse) {
    for (const bool sizeFirst : {true, false}) {
        SCOPED_TRACE(sizeFirst);
        sent.clear();
        answers.clear();
        sharing();
        if (sizeFirst) {
            configure();
        }
        point(30);
        run();
        const auto capture = captures.back();
        session->stop();
        run();
        // A point still waiting behind the size update is answered at once, without the capture.
        EXPECT_EQ(answers.size(), sizeFirst ? 1u : 0u);
        while (!capture->pending.empty()) {
            capture->complete();
            run();
        }
        EXPECT_TRUE(configuredSettings().empty());
        EXPECT_THAT(answers, ElementsAre(std::pair{30, false}));
        EXPECT_FALSE(session->failure());
    }
}

TEST_F(MacStudioSessionConfigurationTest, AFailedUpdateEndsTheStreamWithTheQualityText) {
    for (const bool sizeUpdate : {true, false}) {
        SCOPED_TRACE(sizeUpdate);
        answers.clear();
        sharing();
        sizeUpdate ? (void)configure() : point(30);
        run();
        captures.back()->complete("device lost");
        run();
        EXPECT_EQ(session->failure(), "Could not update video quality. Reconnecting the view…");
        EXPECT_EQ(sent.back().kind, Kind::failure);
        EXPECT_FALSE(session->active());
        if (!sizeUpdate) {
            EXPECT_THAT(answers, ElementsAre(std::pair{30, false}));
        }
    }
}

// The peer's own point: refusing it fails the peer first, and that sentence is the one the
// tablet and the person both get.
TEST_F(MacStudioSessionConfigurationTest, AFailedRateUpdateGivesTabletAndPersonOneSentence) {
    sharing();
    configure();
    run();
    captures.back()->complete();
    run();
    control->runUntilIdle();
    run();
    ASSERT_EQ(captures.back()->pending.size(), 1u);
    ASSERT_EQ(captures.back()->pending.front().kind, "fps");
    captures.back()->complete("device lost");
    run();
    EXPECT_EQ(session->failure(), "Could not apply the display format.");
    std::vector<std::string> failures;
    for (const auto& signal : sent) {
        if (signal.kind == Kind::failure) {
            failures.push_back(*signal.message);
        }
    }
    EXPECT_THAT(failures, ElementsAre("Could not apply the display format."));
}

// Requests, points, capture completions (also late ones of ended streams) and teardowns in a
// seeded random order: every completion runs exactly once, never true for an ended stream, and
// "configured" goes only to the current stream.
TEST_F(MacStudioSessionConfigurationTest, RandomInterleavingsAnswerEveryPointExactlyOnce) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        std::vector<int> calls;
        std::vector<std::function<void(const StudioOperatingPoint&, std::function<void(bool)>)>>
            handlers;
        session->send = [&](const StudioSignal& signal) {
            if (signal.kind == Kind::configured) {
                EXPECT_EQ(session->streamID(), signal.id);
            }
        };
        const auto newPoint = [&](std::size_t handler) {
            const std::size_t index = calls.size();
            calls.push_back(0);
            const auto stream = session->streamID();
            handlers[handler](StudioOperatingPoint{.size = {1280, 720}, .framesPerSecond = 30},
                              [&, index, stream](bool ok) {
                                  ++calls[index];
                                  if (ok) {
                                      EXPECT_EQ(session->streamID(), stream);
                                  }
                              });
        };
        for (int step = 0; step < 200; ++step) {
            switch (random() % 7) {
                case 0:
                    if (random() % 4 == 0 || !session->peer()) {
                        request();
                        deliverContent();
                        handlers.push_back(session->peer()->onOperatingPointChanged);
                    }
                    break;
                case 1:
                    if (session->capture()) {
                        configure();
                    }
                    break;
                case 2:
                case 3:
                    if (!handlers.empty()) {
                        newPoint(random() % 3 == 0 ? random() % handlers.size()
                                                   : handlers.size() - 1);
                    }
                    break;
                case 4:
                case 5: {
                    std::vector<std::shared_ptr<FakeSessionCapture>> waiting;
                    for (const auto& capture : captures) {
                        if (!capture->pending.empty()) {
                            waiting.push_back(capture);
                        }
                    }
                    if (!waiting.empty()) {
                        const auto capture = waiting[random() % waiting.size()];
                        capture->complete(random() % 10 == 0 ? std::optional<std::string>("lost")
                                                             : std::nullopt);
                    }
                    break;
                }
                case 6:
                    random() % 2 ? session->stop() : session->reset(random() % 2 == 0);
                    break;
            }
            if (random() % 2) {
                run();
            }
        }
        session->stop();
        run();
        for (const auto& capture : captures) {
            while (!capture->pending.empty()) {
                capture->complete();
                run();
            }
        }
        for (std::size_t index = 0; index < calls.size(); ++index) {
            EXPECT_EQ(calls[index], 1) << "point " << index;
        }
        captures.clear();
        wire();
    }
}

}  // namespace
}  // namespace quillory
