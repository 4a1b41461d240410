#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStringList>
#include <memory>

#include "app/session/testing/fake_session.h"
#include "app/shell/mac_app_lifecycle.h"
#include "app/tests/qt_printers.h"
#include "platform/defaults/testing/memory_user_defaults.h"

namespace quillory {
namespace {

// Everything the lifecycle drives writes into one log, so that order shows.
struct Log {
    QStringList entries;
};

// What the session was asked so far goes into the log first, so that its place in the order shows.
void note(Log& log, FakeSession* session, const QString& entry) {
    if (session) {
        for (const QString& call : session->calls()) {
            log.entries << QStringLiteral("session.") + call;
        }
        session->clearCalls();
    }
    log.entries << entry;
}

class LoggingStatusItem final : public LifecycleStatusItem {
  public:
    explicit LoggingStatusItem(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    void showPanelForUser() override { log_->entries << QStringLiteral("showPanel"); }
    void teardown() override { log_->entries << QStringLiteral("teardown"); }

  private:
    std::shared_ptr<Log> log_;
};

class LoggingCardWindows final : public LifecycleCardWindows {
  public:
    LoggingCardWindows(std::shared_ptr<Log> log, bool* visible)
        : log_(std::move(log)), visible_(visible) {}
    void open(const QString& identifier) override {
        log_->entries << QStringLiteral("open:") + identifier;
    }
    bool raiseVisible() override {
        if (*visible_) {
            log_->entries << QStringLiteral("raise");
        }
        return *visible_;
    }

  private:
    std::shared_ptr<Log> log_;
    bool* visible_;
};

class LifecycleTest : public ::testing::Test {
  protected:
    void make(std::optional<bool> onboarded, bool relaunching = false, bool shuttingDown = false) {
        if (onboarded) {
            defaults_->set(MacAppLifecycle::onboardingCompletedKey, *onboarded);
        }
        auto session = std::make_shared<FakeSession>();
        session_ = session.get();
        MacAppLifecycle::Environment environment;
        environment.session = session;
        environment.stopSession = [this](bool explicitQuit) {
            log_->entries << QStringLiteral("stop:%1").arg(explicitQuit ? "explicit"
                                                                        : "interrupted");
        };
        environment.makeStatusItem = [this](SessionFacade&, std::function<void(QString)> open) {
            note(*log_, session_, QStringLiteral("statusItem"));
            openUtility_ = std::move(open);
            return std::make_unique<LoggingStatusItem>(log_);
        };
        environment.makeCardWindows = [this](SessionFacade&, std::function<void()> finish) {
            finish_ = std::move(finish);
            return std::make_unique<LoggingCardWindows>(log_, &cardVisible_);
        };
        environment.defaults = defaults_;
        environment.endLoop = [this] { log_->entries << QStringLiteral("endLoop"); };
        environment.startUpdater = [this] {
            note(*log_, session_, QStringLiteral("startUpdater"));
        };
        environment.relaunching = [relaunching] { return relaunching; };
        environment.systemShuttingDown = [shuttingDown] { return shuttingDown; };
        lifecycle_ = std::make_unique<MacAppLifecycle>(std::move(environment));
    }

    std::shared_ptr<Log> log_ = std::make_shared<Log>();
    std::shared_ptr<MemoryUserDefaults> defaults_ = std::make_shared<MemoryUserDefaults>();
    std::unique_ptr<MacAppLifecycle> lifecycle_;
    FakeSession* session_ = nullptr;
    std::function<void(QString)> openUtility_;
    std::function<void()> finish_;
    bool cardVisible_ = false;
};

TEST_F(LifecycleTest, LaunchRunsInOrderAndPostsWelcomeOnlyWithoutOnboarding) {
    struct Case {
        std::optional<bool> onboarded;
        bool welcome;
    };
    for (const Case& c : {Case{std::nullopt, true}, Case{false, true}, Case{true, false}}) {
        log_->entries.clear();
        make(c.onboarded);
        lifecycle_->launch();
        // "welcome" waits for the next turn of the loop.
        EXPECT_EQ(log_->entries, (QStringList{"statusItem", "session.start", "startUpdater"}));
        QCoreApplication::processEvents();
        QStringList expected{"statusItem", "session.start", "startUpdater"};
        if (c.welcome) {
            expected << "open:welcome";
        }
        EXPECT_EQ(log_->entries, expected);
        lifecycle_->launch();  // only once
        EXPECT_EQ(log_->entries, expected);
    }
}

TEST_F(LifecycleTest, OpenUtilityAndFinishReachTheLifecycleOnlyWhileItLives) {
    make(true);
    lifecycle_->launch();
    openUtility_(QStringLiteral("settings"));
    finish_();
    EXPECT_EQ(log_->entries.mid(3), (QStringList{"open:settings", "showPanel"}));
    lifecycle_.reset();
    log_->entries.clear();
    openUtility_(QStringLiteral("settings"));
    finish_();
    EXPECT_TRUE(log_->entries.isEmpty());
}

TEST_F(LifecycleTest, ReopenFrontsAVisibleCardElseShowsThePanel) {
    make(true);
    lifecycle_->launch();
    log_->entries.clear();
    lifecycle_->reopen();
    cardVisible_ = true;
    lifecycle_->reopen();
    EXPECT_EQ(log_->entries, (QStringList{"showPanel", "raise"}));
}

TEST_F(LifecycleTest, EveryQuitStopsTheSessionOnceAfterTheTeardownAndThenEndsTheLoop) {
    using Request = MacAppLifecycle::QuitRequest;
    struct Case {
        const char* name;
        Request request;
        bool shutdown;
        bool relaunching;
        const char* stop;
    };
    const Case cases[] = {
        {"Quit command, Ctrl+Q, SIGINT", Request::user, false, false, "stop:explicit"},
        {"SIGTERM, SIGHUP, log-out", Request::system, false, false, "stop:interrupted"},
        {"quit after PrepareForShutdown", Request::user, true, false, "stop:interrupted"},
        {"relaunch for an update or a grant", Request::user, false, true, "stop:interrupted"},
        {"system quit during a relaunch", Request::system, false, true, "stop:interrupted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_ = std::make_shared<Log>();
        make(true, c.relaunching, c.shutdown);
        lifecycle_->launch();
        log_->entries.clear();
        lifecycle_->quit(c.request);
        lifecycle_->quit(Request::user);
        lifecycle_->quit(Request::system);
        EXPECT_EQ(log_->entries, (QStringList{"teardown", c.stop, "endLoop"}));
        // Nothing opens once quitting has begun.
        lifecycle_->reopen();
        lifecycle_->open(QStringLiteral("settings"));
        EXPECT_EQ(log_->entries.size(), 3);
    }
}

TEST_F(LifecycleTest, QuitBeforeLaunchStillStopsTheSession) {
    make(true);
    lifecycle_->quit(MacAppLifecycle::QuitRequest::user);
    EXPECT_EQ(log_->entries, (QStringList{"stop:explicit", "endLoop"}));
}

}  // namespace
}  // namespace quillory
