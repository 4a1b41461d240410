#include "app/interface/onboarding_model.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/session/testing/fake_session.h"
#include "platform/defaults/testing/memory_user_defaults.h"

namespace quillory {
namespace {

using Step = OnboardingModel::Step;

class OnboardingModelTest : public ::testing::Test {
  protected:
    std::unique_ptr<OnboardingModel> make() {
        OnboardingModel::Environment environment;
        environment.defaults = defaults_;
        environment.probes = {[this] {
                                  ++asked_;
                                  return accessibility_;
                              },
                              [this] { return screenRecording_; }};
        environment.trayAvailable = [this] { return tray_; };
        auto model = std::make_unique<OnboardingModel>(std::move(environment));
        model->setSession(&session_);
        return model;
    }

    std::optional<bool> completed() const { return defaults_->boolValue("onboarding.completed"); }
    QStringList loginCalls() const { return session_.fakeShell()->fakeLoginItem()->calls(); }
    void firePoll(const OnboardingModel& model) {
        QMetaObject::invokeMethod(const_cast<QTimer*>(&model.pollTimer()), "timeout");
    }
    // The order closeRequested and finishRequested arrive in.
    static void record(OnboardingModel& model, QStringList& events) {
        QObject::connect(&model, &OnboardingModel::closeRequested,
                         [&events] { events << QStringLiteral("close"); });
        QObject::connect(&model, &OnboardingModel::finishRequested,
                         [&events] { events << QStringLiteral("finish"); });
    }

    std::shared_ptr<MemoryUserDefaults> defaults_ = std::make_shared<MemoryUserDefaults>();
    FakeSession session_;
    bool accessibility_ = false;
    bool screenRecording_ = true;
    bool tray_ = true;
    int asked_ = 0;
};

TEST_F(OnboardingModelTest, TwoAdvancesThenTheThirdClosesBeforeItFinishes) {
    auto model = make();
    QStringList events;
    record(*model, events);
    EXPECT_EQ(model->step(), Step::welcome);
    EXPECT_FALSE(completed().has_value());

    model->advance();
    EXPECT_EQ(model->step(), Step::permissions);
    EXPECT_EQ(completed(), true);  // the first step change already counts
    model->advance();
    EXPECT_EQ(model->step(), Step::connect);
    EXPECT_TRUE(events.isEmpty());
    model->advance();
    EXPECT_EQ(events, (QStringList{"close", "finish"}));
}

TEST_F(OnboardingModelTest, BackStopsAtTheFirstStepWithoutWriting) {
    auto model = make();
    QSignalSpy steps(model.get(), &OnboardingModel::stepChanged);
    model->goBack();
    EXPECT_EQ(model->step(), Step::welcome);
    EXPECT_EQ(steps.count(), 0);
    EXPECT_FALSE(completed().has_value());

    model->advance();
    model->advance();
    model->goBack();
    EXPECT_EQ(model->step(), Step::permissions);
    EXPECT_EQ(steps.count(), 3);
}

// Skipping (and Escape) ends onboarding on every step; only on the last one, where the choice is
// shown, does it apply the chip in either position.
TEST_F(OnboardingModelTest, SkipAppliesTheLoginChoiceOnlyOnTheLastStep) {
    for (int advances = 0; advances < 3; ++advances) {
        for (const bool chip : {true, false}) {
            SCOPED_TRACE(testing::Message() << advances << chip);
            defaults_ = std::make_shared<MemoryUserDefaults>();
            auto model = make();
            QStringList events;
            record(*model, events);
            for (int i = 0; i < advances; ++i) {
                model->advance();
            }
            model->setOpenAtLogin(chip);
            model->skip();
            EXPECT_EQ(events, (QStringList{"close", "finish"}));
            EXPECT_EQ(completed(), true);
            FakeLoginItem* item = session_.fakeShell()->fakeLoginItem();
            EXPECT_EQ(item->enabled(), advances == 2 && chip);
            item->setEnabled(false);
        }
    }
}

TEST_F(OnboardingModelTest, DoneAppliesTheLoginChoiceOnlyWhenItDiffers) {
    struct {
        bool enabledBefore, chip;
        QStringList calls;
    } const cases[] = {
        {false, true, {"setEnabled:true"}},
        {true, true, {}},
        {true, false, {"setEnabled:false"}},
        {false, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.enabledBefore << c.chip);
        FakeLoginItem* item = session_.fakeShell()->fakeLoginItem();
        item->setEnabled(c.enabledBefore);
        const qsizetype before = item->calls().size();
        auto model = make();
        model->advance();
        model->advance();
        model->setOpenAtLogin(c.chip);
        model->advance();
        EXPECT_EQ(item->calls().mid(before), c.calls);
        EXPECT_EQ(item->enabled(), c.chip);
    }
}

TEST_F(OnboardingModelTest, AFailingLoginItemStillClosesAndFinishes) {
    session_.fakeShell()->fakeLoginItem()->failWith(QStringLiteral("no autostart folder"));
    auto model = make();
    QStringList events;
    record(*model, events);
    model->advance();
    model->advance();
    model->advance();
    EXPECT_EQ(loginCalls(), QStringList{"setEnabled:true"});
    EXPECT_EQ(events, (QStringList{"close", "finish"}));
    EXPECT_EQ(completed(), true);
}

TEST_F(OnboardingModelTest, PrimaryTitleFollowsAccessAndConnection) {
    struct {
        int advances;
        bool accessibility, screenRecording, connected;
        const char* title;
    } const cases[] = {
        {0, false, false, false, "Get started"},
        {1, false, true, false, "Later"},  // Screen Recording has no say
        {1, true, false, false, "Continue"},
        {1, false, false, true, "Later"},
        {2, false, false, false, "Done"},
        {2, false, false, true, "Start drawing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        accessibility_ = c.accessibility;
        screenRecording_ = c.screenRecording;
        session_.publishConnected(c.connected);
        auto model = make();
        for (int i = 0; i < c.advances; ++i) {
            model->advance();
        }
        EXPECT_EQ(model->primaryTitle(), QLatin1String(c.title));
    }
}

TEST_F(OnboardingModelTest, TheTitleChangesWhenATrayStartsAccessIsGrantedOrTheTabletConnects) {
    tray_ = false;
    auto model = make();
    EXPECT_EQ(model->title(), QStringLiteral("Quillory lives in its own window"));
    QSignalSpy texts(model.get(), &OnboardingModel::textsChanged);
    tray_ = true;
    model->setShown(true);
    firePoll(*model);
    EXPECT_EQ(model->title(), QStringLiteral("Quillory lives in your system tray"));
    EXPECT_EQ(texts.count(), 1);

    model->advance();
    texts.clear();
    accessibility_ = true;
    model->refresh();
    EXPECT_EQ(model->primaryTitle(), QStringLiteral("Continue"));
    EXPECT_GE(texts.count(), 1);

    model->advance();
    texts.clear();
    session_.publishPeerName(QStringLiteral("Studio iPad"));
    session_.publishConnected(true);
    EXPECT_GE(texts.count(), 1);
    EXPECT_EQ(model->primaryTitle(), QStringLiteral("Start drawing"));
    EXPECT_EQ(model->artName(), QStringLiteral("onboarding-connected"));
}

TEST_F(OnboardingModelTest, SubtitlesNameTheComputerAndThePeerLiterally) {
    auto model = make();
    model->advance();
    model->advance();
    EXPECT_EQ(model->subtitle(),
              QStringLiteral("Choose Mac, then confirm the same code on both screens."));
    model->setComputerName(QStringLiteral("Desk %1"));
    EXPECT_EQ(model->subtitle(),
              QStringLiteral("Choose Desk %1, then confirm the same code on both screens."));
    session_.publishPeerName(QStringLiteral("<b>Ann's</b> %2 iPad"));
    session_.publishConnected(true);
    EXPECT_EQ(model->subtitle(), QStringLiteral("<b>Ann's</b> %2 iPad is ready. Draw, and your "
                                                "strokes land in the app in front."));
}

TEST_F(OnboardingModelTest, TheComputerNameIsAskedOffTheMainThread) {
    OnboardingModel::Environment environment;
    environment.defaults = defaults_;
    environment.probes = {[] { return true; }, [] { return true; }};
    environment.computerName = [] { return QStringLiteral("Loft"); };
    OnboardingModel model(std::move(environment));
    QSignalSpy texts(&model, &OnboardingModel::textsChanged);
    ASSERT_TRUE(texts.wait(5000));
    EXPECT_EQ(model.computerName(), QStringLiteral("Loft"));
}

TEST_F(OnboardingModelTest, PollsEverySecondOnlyWhileShownAndAnnouncesOnlyChanges) {
    auto model = make();
    EXPECT_EQ(asked_, 1);  // the read at creation
    EXPECT_FALSE(model->pollTimer().isActive());
    QSignalSpy access(model.get(), &OnboardingModel::accessibilityChanged);
    QSignalSpy screen(model.get(), &OnboardingModel::screenRecordingChanged);

    model->setShown(true);
    EXPECT_TRUE(model->pollTimer().isActive());
    EXPECT_EQ(model->pollTimer().interval(), 1000);
    firePoll(*model);
    EXPECT_EQ(access.count() + screen.count(), 0);

    screenRecording_ = false;
    firePoll(*model);
    EXPECT_EQ(screen.count(), 1);
    EXPECT_EQ(access.count(), 0);
    EXPECT_FALSE(model->screenRecording());

    model->setShown(false);
    EXPECT_FALSE(model->pollTimer().isActive());
}

TEST_F(OnboardingModelTest, RequestsGoThroughTheSessionAndTheGuide) {
    auto model = make();
    model->allowAccessibility();
    EXPECT_EQ(session_.calls(), QStringList{"requestInputAccess"});
    model->allowScreenRecording();  // granted: no guide
    EXPECT_TRUE(session_.fakeShell()->calls().isEmpty());
    screenRecording_ = false;
    model->allowScreenRecording();
    EXPECT_EQ(session_.fakeShell()->calls(), QStringList{"showPermissionGuide:screenRecording"});
    EXPECT_TRUE(model->screenRecording());  // the click itself changes no chip
}

}  // namespace
}  // namespace quillory
