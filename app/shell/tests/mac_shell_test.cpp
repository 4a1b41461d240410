#include "app/shell/mac_shell.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/permissions/testing/fake_permission_probe.h"
#include "app/session/testing/fake_session.h"

namespace quillory {
namespace {

TEST(PermissionRelaunch, SetsTheFlagBeforeQuittingEvenWhenTheWatcherFails) {
    for (const bool watcherStarts : {true, false}) {
        PermissionRelaunch relaunch;
        std::vector<std::string> calls;
        relaunch.setWatcher([&]() -> Result<void, std::string> {
            calls.push_back(relaunch.requested() ? "watcher after flag" : "watcher before flag");
            if (!watcherStarts) {
                return Failure(std::string("no shell"));
            }
            return {};
        });
        relaunch.setQuitHook([&] {
            calls.push_back(relaunch.requested() ? "quit after flag" : "quit before flag");
        });
        EXPECT_FALSE(relaunch.requested());
        relaunch.relaunchApplication();
        EXPECT_EQ(calls, (std::vector<std::string>{"watcher after flag", "quit after flag"}));
    }
}

class ShellTest : public testing::Test {
  protected:
    ShellTest() {
        DesktopControlGrant::Environment environment;
        environment.command = {QStringLiteral("sh"), QStringLiteral("-c"),
                               QStringLiteral("exit 126")};
        environment.script = "/opt/quillory/grant";
        grant_ = new DesktopControlGrant(std::move(environment));
        shell_ = std::make_unique<MacShell>(new FakeLoginItem, new FakeUpdates, probe_, grant_,
                                            relaunch_);
    }

    FakePermissionProbe* probe_ = new FakePermissionProbe;
    DesktopControlGrant* grant_;
    PermissionRelaunch relaunch_;
    std::unique_ptr<MacShell> shell_;
};

TEST_F(ShellTest, WithoutAGuideAMissingAccessStartsTheGrant) {
    shell_->showPermissionGuide(SessionShell::PermissionKind::accessibility);
    EXPECT_EQ(grant_->state(), DesktopControlGrant::State::idle);  // granted already
    shell_->showPermissionGuide(SessionShell::PermissionKind::screenRecording);
    EXPECT_EQ(grant_->state(), DesktopControlGrant::State::idle);
    probe_->setDesktopControlGranted(false);
    QSignalSpy ended(grant_, &DesktopControlGrant::stateChanged);
    shell_->showPermissionGuide(SessionShell::PermissionKind::accessibility);
    EXPECT_EQ(grant_->state(), DesktopControlGrant::State::running);
    ASSERT_TRUE(ended.wait());
    EXPECT_EQ(grant_->outcome(), DesktopControlGrant::Outcome::dismissed);

    std::vector<SessionShell::PermissionKind> shown;
    shell_->setGuide([&](SessionShell::PermissionKind kind) { shown.push_back(kind); });
    shell_->showPermissionGuide(SessionShell::PermissionKind::screenRecording);
    EXPECT_EQ(shown, std::vector{SessionShell::PermissionKind::screenRecording});
}

TEST_F(ShellTest, ScreenSharingAtLaunchIsReadOnce) {
    probe_->setScreenCaptureGranted(false);
    EXPECT_FALSE(shell_->screenCaptureAllowedAtLaunch());
    probe_->setScreenCaptureGranted(true);
    EXPECT_FALSE(shell_->screenCaptureAllowedAtLaunch());
    EXPECT_TRUE(probe_->screenCaptureGranted());
}

}  // namespace
}  // namespace quillory
