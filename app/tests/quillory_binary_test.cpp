#include <gtest/gtest.h>
#include <signal.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <memory>
#include <optional>

#include "app/tests/fake_session_manager.h"
#include "app/tests/x11_windows.h"
#include "platform/desktop/desktop_entries.h"

// The real `quillory` under the test services' Xvfb and openbox, without a tray: its panel is
// the fallback window.
namespace quillory {
namespace {

constexpr int launchWaitMs = 20000;

class QuilloryBinaryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(windows_.connected()) << "needs the test services' X server";
        ASSERT_TRUE(QDir().mkpath(home_.filePath("run")));
        QFile::setPermissions(home_.filePath("run"), QFileDevice::ReadOwner |
                                                         QFileDevice::WriteOwner |
                                                         QFileDevice::ExeOwner);
    }

    void TearDown() override {
        for (auto& process : processes_) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(launchWaitMs);
            }
        }
    }

    QProcess& launch() {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home_.path());
        environment.insert("XDG_CONFIG_HOME", home_.filePath("config"));
        environment.insert("XDG_RUNTIME_DIR", home_.filePath("run"));
        // Onboarding done: no "welcome" card in the way.
        QDir().mkpath(home_.filePath("config/quillory"));
        QFile defaults(home_.filePath("config/quillory/defaults.json"));
        if (!defaults.exists() && defaults.open(QIODevice::WriteOnly)) {
            defaults.write(R"({"onboarding.completed": true})");
        }
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("SESSION_MANAGER");
        if (!sessionManager_.isEmpty()) {
            environment.insert("SESSION_MANAGER", sessionManager_);
        }
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedOutputChannel);  // the log is read
        process->start(QStringLiteral(QUILLORY_BINARY), {});
        EXPECT_TRUE(process->waitForStarted(launchWaitMs));
        processes_.push_back(std::move(process));
        return *processes_.back();
    }

    QString socketPath() const { return home_.filePath("run/quillory.socket"); }

    bool waitForPanel(bool shown) {
        return QTest::qWaitFor([&] { return windows_.anyViewable("Quillory") == shown; },
                               launchWaitMs);
    }

    bool waitForSocket() {
        return QTest::qWaitFor([&] { return QFileInfo::exists(socketPath()); }, launchWaitMs);
    }

    static int exitCode(QProcess& process) {
        // waitForFinished() answers false for a process that has already ended.
        if (process.state() != QProcess::NotRunning && !process.waitForFinished(launchWaitMs)) {
            return -1;
        }
        if (process.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return process.exitCode();
    }

    QTemporaryDir home_;
    QString sessionManager_;
    testing::Windows windows_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(QuilloryBinaryTest, ASecondLaunchLeavesWithZeroAndTheFirstShowsItsPanel) {
    QProcess& first = launch();
    ASSERT_TRUE(waitForPanel(true));
    for (xcb_window_t window : windows_.withClass("Quillory")) {
        windows_.requestClose(window);
    }
    ASSERT_TRUE(waitForPanel(false));
    EXPECT_EQ(exitCode(launch()), 0);
    EXPECT_TRUE(waitForPanel(true));
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(QuilloryBinaryTest, TwoLaunchesAtOnceLeaveOne) {
    QProcess& a = launch();
    QProcess& b = launch();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning; },
        launchWaitMs));
    QProcess& left = a.state() == QProcess::NotRunning ? a : b;
    QProcess& staying = &left == &a ? b : a;
    EXPECT_EQ(exitCode(left), 0);
    EXPECT_EQ(staying.state(), QProcess::Running);
    EXPECT_EQ(exitCode(launch()), 0);
    EXPECT_EQ(staying.state(), QProcess::Running);
}

TEST_F(QuilloryBinaryTest, AKilledInstancesSocketIsTakenOver) {
    QProcess& killed = launch();
    ASSERT_TRUE(waitForSocket());
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished(launchWaitMs));
    ASSERT_TRUE(QFileInfo::exists(socketPath()));

    QProcess& next = launch();
    ASSERT_TRUE(waitForPanel(true));
    EXPECT_EQ(exitCode(launch()), 0);
    EXPECT_EQ(next.state(), QProcess::Running);
}

TEST_F(QuilloryBinaryTest, QuitSignalsEndTheProcessWithStatusZero) {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        QProcess& running = launch();
        ASSERT_TRUE(waitForSocket());
        ::kill(static_cast<pid_t>(running.processId()), signalNumber);
        EXPECT_EQ(exitCode(running), 0);
        EXPECT_FALSE(QFileInfo::exists(socketPath()));
    }
}

// A save request is no end: the user may still cancel the log-out, and a checkpoint ends
// nothing. Only the session manager's "die" does, and then the tablet may reconnect.
TEST_F(QuilloryBinaryTest, OnlyTheSessionManagersDieEndsTheProcess) {
    testing::FakeSessionManager manager;
    ASSERT_TRUE(manager.error().empty()) << manager.error();
    sessionManager_ = QString::fromStdString(manager.address());
    QProcess& running = launch();
    ASSERT_TRUE(manager.serveUntil([&] { return manager.registered(); }, launchWaitMs));

    manager.saveYourself(true);
    ASSERT_TRUE(manager.serveUntil([&] { return manager.saves() == 1; }, launchWaitMs));
    manager.shutdownCancelled();
    manager.saveYourself(false);
    ASSERT_TRUE(manager.serveUntil([&] { return manager.saves() == 2; }, launchWaitMs));
    EXPECT_EQ(running.state(), QProcess::Running);

    manager.die();
    EXPECT_EQ(exitCode(running), 0);
    const QString log = QString::fromUtf8(running.readAllStandardError());
    EXPECT_TRUE(log.contains(QStringLiteral("Quitting (the tablet may reconnect)")))
        << log.toStdString();
}

TEST_F(QuilloryBinaryTest, TheInstalledEntryIsFoundByTheWindowClassQuillorySets) {
    QTemporaryDir prefix;
    QProcess install;
    install.setProcessChannelMode(QProcess::ForwardedChannels);
    install.start(QStringLiteral(CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(BUILD_DIR),
                   QStringLiteral("--prefix"), prefix.path()});
    ASSERT_TRUE(install.waitForFinished(launchWaitMs * 3));
    ASSERT_EQ(install.exitCode(), 0);
    const QFileInfo binary(prefix.filePath("bin/quillory"));
    EXPECT_TRUE(binary.isFile() && binary.isExecutable());
    ASSERT_TRUE(QFileInfo::exists(prefix.filePath("share/applications/quillory.desktop")));

    QProcess& running = launch();
    ASSERT_TRUE(waitForPanel(true));
    const std::vector<xcb_window_t> shown = windows_.withClass("Quillory");
    ASSERT_FALSE(shown.empty());
    const std::string windowClass = windows_.wmClass(shown.front()).second;
    const DesktopEntries entries({prefix.filePath("share/applications").toStdString()});
    const std::optional<DesktopEntries::Entry> entry = entries.find(windowClass);
    ASSERT_TRUE(entry.has_value()) << windowClass;
    EXPECT_EQ(entry->id, "quillory");
    EXPECT_EQ(entry->name, "Quillory");

    // Qt had nothing to complain of: the panel's QML and its imports all loaded.
    ::kill(static_cast<pid_t>(running.processId()), SIGTERM);
    EXPECT_EQ(exitCode(running), 0);
    const QString log = QString::fromUtf8(running.readAllStandardError());
    EXPECT_FALSE(log.contains(QStringLiteral("qt] error"))) << log.toStdString();
}

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
