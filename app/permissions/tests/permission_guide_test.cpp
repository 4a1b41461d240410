#include "app/permissions/permission_guide.h"

#include <gtest/gtest.h>

#include "app/permissions/testing/fake_permission_probe.h"
#include "platform/dispatch/testing/manual_executor.h"

namespace quillory {
namespace {

using State = DesktopControlGrant::State;
using Outcome = DesktopControlGrant::Outcome;
using Kind = PermissionGuide::Kind;

struct GrantRecord {
    int launches = 0;
    State state = State::idle;
    Outcome outcome = Outcome::none;
    // What start() leads to: a running grant, or one that cannot start.
    State onStart = State::running;
};

class FakeGrant final : public GuideGrant {
  public:
    explicit FakeGrant(GrantRecord& record) : record_(record) {}
    void start() override {
        if (record_.state == State::running) {
            return;
        }
        ++record_.launches;
        record_.state = record_.onStart;
        record_.outcome = Outcome::none;
    }
    State state() const override { return record_.state; }
    Outcome outcome() const override { return record_.outcome; }

  private:
    GrantRecord& record_;
};

struct Screen {
    int live = 0;
    int shown = 0;
};

class FakeSurface final : public GuideSurface {
  public:
    explicit FakeSurface(Screen& screen) : screen_(screen) {
        ++screen_.live;
        ++screen_.shown;
    }
    ~FakeSurface() override { --screen_.live; }

  private:
    Screen& screen_;
};

class PermissionGuideTest : public testing::Test {
  protected:
    PermissionGuideTest() {
        probe_.setDesktopControlGranted(false);
        PermissionGuide::Parts parts;
        parts.probe = &probe_;
        parts.grant = std::make_unique<FakeGrant>(grant_);
        parts.clock = executor_->clock();
        parts.executor = executor_;
        parts.surface = [this](GuideModel&) { return std::make_unique<FakeSurface>(screen_); };
        parts.activate = [this] { ++activations_; };
        parts.relaunch = [this] { ++relaunches_; };
        guide_ = PermissionGuide::create(std::move(parts));
    }

    void endGrant(Outcome outcome) {
        grant_.state = State::ended;
        grant_.outcome = outcome;
    }

    std::shared_ptr<ManualExecutor> executor_ = std::make_shared<ManualExecutor>();
    FakePermissionProbe probe_;
    GrantRecord grant_;
    Screen screen_;
    int activations_ = 0;
    int relaunches_ = 0;
    std::shared_ptr<PermissionGuide> guide_;
};

TEST_F(PermissionGuideTest, NothingToGuideWhenGrantedOrForScreenSharing) {
    probe_.setDesktopControlGranted(true);
    guide_->show(Kind::accessibility);
    // Screen sharing is allowed on X11 even when the probe is told otherwise.
    probe_.setScreenCaptureGranted(false);
    guide_->show(Kind::screenRecording);
    EXPECT_EQ(grant_.launches, 0);
    EXPECT_EQ(screen_.shown, 0);
    EXPECT_FALSE(guide_->showing());
    EXPECT_EQ(executor_->pendingTimers(), 0u);
}

TEST_F(PermissionGuideTest, ShowingAgainReplacesThePanelWithOneGrant) {
    guide_->show(Kind::accessibility);
    guide_->show(Kind::accessibility);
    EXPECT_EQ(screen_.shown, 2);
    EXPECT_EQ(screen_.live, 1);
    EXPECT_EQ(grant_.launches, 1);
    EXPECT_EQ(executor_->pendingTimers(), 1u);
}

TEST_F(PermissionGuideTest, GrantedConfirmsAtTheNextTickAndClosesWithActivation) {
    guide_->show(Kind::accessibility);
    executor_->advance(0.3);
    probe_.setDesktopControlGranted(true);
    EXPECT_FALSE(guide_->model().done());
    executor_->advance(0.25);
    EXPECT_TRUE(guide_->model().done());
    // The grant ends right after: once confirmed, only the scheduled close acts.
    endGrant(Outcome::granted);
    executor_->advance(1.0);
    EXPECT_EQ(screen_.live, 1);
    EXPECT_EQ(activations_, 0);
    executor_->advance(0.1);
    EXPECT_EQ(screen_.live, 0);
    EXPECT_EQ(activations_, 1);
    EXPECT_EQ(executor_->pendingTimers(), 0u);
}

TEST_F(PermissionGuideTest, CloseButtonClosesWithoutActivation) {
    guide_->show(Kind::accessibility);
    probe_.setDesktopControlGranted(true);
    executor_->advance(0.25);
    ASSERT_TRUE(guide_->model().done());
    guide_->model().close();
    EXPECT_EQ(screen_.live, 0);
    executor_->advance(2.0);
    EXPECT_EQ(activations_, 0);
    EXPECT_EQ(executor_->pendingTimers(), 0u);
}

TEST_F(PermissionGuideTest, AStaleCloseLeavesTheNextGuideAlone) {
    guide_->show(Kind::accessibility);
    probe_.setDesktopControlGranted(true);
    executor_->advance(0.25);
    ASSERT_TRUE(guide_->model().done());
    guide_->model().close();
    // Access is taken away again and the user asks once more within the confirmation's time.
    probe_.setDesktopControlGranted(false);
    grant_.state = State::idle;
    executor_->advance(0.5);
    guide_->show(Kind::accessibility);
    executor_->advance(1.0);
    EXPECT_TRUE(guide_->showing());
    EXPECT_EQ(screen_.live, 1);
    EXPECT_EQ(activations_, 0);
    EXPECT_FALSE(guide_->model().done());
}

TEST_F(PermissionGuideTest, AccessLaggingBehindASuccessfulGrantStillConfirms) {
    guide_->show(Kind::accessibility);
    executor_->advance(3.0);
    endGrant(Outcome::granted);
    executor_->advance(1.5);
    EXPECT_EQ(screen_.live, 1);
    probe_.setDesktopControlGranted(true);
    executor_->advance(0.25);
    EXPECT_TRUE(guide_->model().done());
    EXPECT_EQ(screen_.live, 1);
}

TEST_F(PermissionGuideTest, RunningGrantOutlastsTheGraceAndDismissedPromptCloses) {
    guide_->show(Kind::accessibility);
    executor_->advance(20.0);
    EXPECT_EQ(screen_.live, 1);
    endGrant(Outcome::dismissed);
    executor_->advance(0.25);
    EXPECT_EQ(screen_.live, 0);
    EXPECT_EQ(activations_, 0);
}

TEST_F(PermissionGuideTest, AGrantThatNeverStartsClosesAfterTheGrace) {
    // Another grant path that does nothing: the card waits 6 s as for a settings window.
    grant_.onStart = State::idle;
    guide_->show(Kind::accessibility);
    executor_->advance(6.0);
    EXPECT_EQ(screen_.live, 1);
    executor_->advance(0.25);
    EXPECT_EQ(screen_.live, 0);
}

TEST_F(PermissionGuideTest, AGrantThatCannotFinishKeepsTheManualSteps) {
    struct Case {
        State state;
        Outcome outcome;
    };
    for (const Case& c :
         {Case{State::ended, Outcome::failed}, Case{State::ended, Outcome::installedWithoutAccess},
          Case{State::unableToStart, Outcome::none}}) {
        SCOPED_TRACE(static_cast<int>(c.outcome));
        guide_->show(Kind::accessibility);
        executor_->advance(1.0);
        grant_.state = c.state;
        grant_.outcome = c.outcome;
        executor_->advance(30.0);
        EXPECT_EQ(screen_.live, 1);
        EXPECT_TRUE(guide_->model().manual());
        EXPECT_TRUE(
            guide_->model().manualCommands().contains(QStringLiteral("sudo modprobe uinput")));
        guide_->dismiss();
        EXPECT_EQ(screen_.live, 0);
    }
}

TEST_F(PermissionGuideTest, AccessThatNeverFollowsASuccessfulGrantTurnsManual) {
    guide_->show(Kind::accessibility);
    endGrant(Outcome::granted);
    executor_->advance(2.25);
    EXPECT_FALSE(guide_->model().manual());
    executor_->advance(0.25);
    EXPECT_TRUE(guide_->model().manual());
    EXPECT_EQ(screen_.live, 1);
}

TEST_F(PermissionGuideTest, AccessOnXTestOffersTheRelaunchAndStays) {
    for (const double setAfter : {0.0, 0.5}) {
        SCOPED_TRACE(setAfter);
        probe_.setDesktopControlGranted(false);
        probe_.setRelaunchNeeded(false);
        grant_.state = State::idle;
        guide_->show(Kind::accessibility);
        probe_.setDesktopControlGranted(true);
        if (setAfter == 0.0) {
            probe_.setRelaunchNeeded(true);
        }
        executor_->advance(0.25 + setAfter);
        probe_.setRelaunchNeeded(true);
        executor_->advance(2.0);
        EXPECT_TRUE(guide_->model().done());
        EXPECT_TRUE(guide_->model().relaunchOffered());
        EXPECT_EQ(screen_.live, 1);
        EXPECT_EQ(activations_, 0);
        guide_->model().relaunch();
        guide_->dismiss();
    }
    EXPECT_EQ(relaunches_, 2);
}

}  // namespace
}  // namespace quillory
