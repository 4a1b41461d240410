#include "app/permissions/desktop_control_grant.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <fstream>

#include "platform/dispatch/testing/manual_executor.h"
#include "tests/support/other_user.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using Outcome = DesktopControlGrant::Outcome;
using State = DesktopControlGrant::State;

// The launcher is a shell that exits as told and checks it was handed the script.
class GrantFlow : public testing::Test {
  protected:
    void SetUp() override { MainQueue::install(executor_); }

    std::unique_ptr<DesktopControlGrant> grant(const QString& launcherBody) {
        DesktopControlGrant::Environment environment;
        environment.command = {QStringLiteral("sh"), QStringLiteral("-c"), launcherBody,
                               QStringLiteral("launcher")};
        environment.script = "/opt/quillory/grant script";
        environment.checkScript = [](const fs::path&) { return std::nullopt; };
        environment.accessGranted = [this] { return access_; };
        return std::make_unique<DesktopControlGrant>(std::move(environment));
    }

    // Runs the Qt loop until the launcher has exited (the access wait is then on the fake clock).
    static void untilExited(DesktopControlGrant& grant, ManualExecutor& executor) {
        while (grant.state() == State::running && executor.pendingTimers() == 0) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }

    std::shared_ptr<ManualExecutor> executor_ = std::make_shared<ManualExecutor>();
    bool access_ = false;
};

TEST_F(GrantFlow, EachExitEndsInItsOutcome) {
    const struct {
        const char* launcher;
        bool accessAtOnce;
        Outcome outcome;
    } cases[] = {
        {"[ \"$1\" = '/opt/quillory/grant script' ] && exit 0; exit 9", true, Outcome::granted},
        {"exit 126", false, Outcome::dismissed},
        {"exit 127", false, Outcome::failed},
        {"exit 4", false, Outcome::failed},
        {"kill -9 $$", false, Outcome::failed},
    };
    for (const auto& c : cases) {
        access_ = c.accessAtOnce;
        auto subject = grant(QString::fromUtf8(c.launcher));
        subject->start();
        EXPECT_EQ(subject->state(), State::running);
        untilExited(*subject, *executor_);
        EXPECT_EQ(subject->state(), State::ended) << c.launcher;
        EXPECT_EQ(subject->outcome(), c.outcome) << c.launcher;
    }
}

TEST_F(GrantFlow, AccessMayFollowWithinTwoSeconds) {
    auto subject = grant(QStringLiteral("exit 0"));
    subject->start();
    untilExited(*subject, *executor_);
    executor_->advance(1.0);
    EXPECT_EQ(subject->state(), State::running);
    // A second request while waiting starts no second prompt.
    subject->start();
    EXPECT_EQ(subject->state(), State::running);
    access_ = true;
    executor_->advance(DesktopControlGrant::accessPoll);
    EXPECT_EQ(subject->outcome(), Outcome::granted);
    // Screen sharing needs no grant on X11.
    openPrivacySettings(QStringLiteral("Privacy_ScreenCapture"), *subject);
    EXPECT_EQ(subject->state(), State::ended);

    access_ = false;
    openPrivacySettings(QStringLiteral("Privacy_Accessibility"), *subject);
    untilExited(*subject, *executor_);
    executor_->advance(DesktopControlGrant::accessWait - DesktopControlGrant::accessPoll);
    EXPECT_EQ(subject->state(), State::running);
    executor_->advance(DesktopControlGrant::accessPoll);
    EXPECT_EQ(subject->outcome(), Outcome::installedWithoutAccess);
}

TEST_F(GrantFlow, UnableToStartWithoutALauncherOrATrustedScript) {
    DesktopControlGrant::Environment missing;
    missing.command = {QStringLiteral("quillory-no-such-launcher")};
    missing.script = "/opt/quillory/grant";
    DesktopControlGrant withoutLauncher(std::move(missing));
    withoutLauncher.start();
    EXPECT_EQ(withoutLauncher.state(), State::unableToStart);
    EXPECT_TRUE(withoutLauncher.reason().contains(QStringLiteral("quillory-no-such-launcher")));

    const fs::path script = testing::TempDir() + "quillory-grant-open-" + std::to_string(getpid());
    std::ofstream(script) << "#!/bin/sh\n";
    fs::permissions(script, fs::perms(0666));
    DesktopControlGrant::Environment writable;
    writable.command = {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("exit 0")};
    writable.script = script;
    writable.checkScript = &DesktopControlGrant::checkRootOwned;
    DesktopControlGrant refused(std::move(writable));
    refused.start();
    EXPECT_EQ(refused.state(), State::unableToStart);
    EXPECT_FALSE(DesktopControlGrant::manualCommands().isEmpty());
    fs::remove(script);
}

TEST(GrantScriptCheck, RootMustOwnTheScriptAndEveryFolderAboveIt) {
    const fs::path folder =
        fs::path(testing::TempDir()) / ("quillory-grant-check-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "sub");
    fs::permissions(folder, fs::perms(0755));
    fs::permissions(folder / "sub", fs::perms(0755));
    const fs::path script = folder / "sub/grant";
    std::ofstream(script) << "#!/bin/sh\n";
    const auto check = [&](fs::perms file, fs::perms sub) {
        fs::permissions(script, file);
        fs::permissions(folder / "sub", sub);
        return !DesktopControlGrant::checkRootOwned(script).has_value();
    };
    EXPECT_FALSE(check(fs::perms(0775), fs::perms(0755)));
    EXPECT_FALSE(check(fs::perms(0757), fs::perms(0755)));
    EXPECT_FALSE(check(fs::perms(0755), fs::perms(0777)));
    EXPECT_TRUE(DesktopControlGrant::checkRootOwned(folder / "missing").has_value());
    if (geteuid() == 0 && otherUserExists()) {
        EXPECT_TRUE(check(fs::perms(0755), fs::perms(0755)));
        ASSERT_EQ(::chown(script.c_str(), otherUser, otherUser), 0);
        EXPECT_FALSE(check(fs::perms(0755), fs::perms(0755)));
    } else {
        // Our own files are not root's; nor, for the root of a user namespace of our own, are
        // the folders above them, which belong to the machine's root.
        EXPECT_FALSE(check(fs::perms(0755), fs::perms(0755)));
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace quillory
