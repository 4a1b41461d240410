#include "app/shell/single_instance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstring>

namespace quillory {
namespace {

class SingleInstanceTest : public ::testing::Test {
  protected:
    QString socketPath() const { return folder_.filePath(QStringLiteral("quillory.socket")); }
    QTemporaryDir folder_;
};

TEST_F(SingleInstanceTest, ALaterLaunchAsksTheFirstToReopenAndLeaves) {
    SingleInstance first(socketPath());
    ASSERT_EQ(first.claim(), SingleInstance::Outcome::serving);
    QSignalSpy reopened(&first, &SingleInstance::reopenRequested);

    for (int launch = 1; launch <= 2; ++launch) {
        SingleInstance later(socketPath());
        EXPECT_EQ(later.claim(), SingleInstance::Outcome::askedRunning);
        ASSERT_TRUE(reopened.wait(5000));
        EXPECT_EQ(reopened.size(), launch);
    }
}

TEST_F(SingleInstanceTest, ASocketLeftByAKilledInstanceIsTakenOver) {
    // A bound socket nobody listens on: what a killed instance leaves behind.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray path = socketPath().toLocal8Bit();
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);

    SingleInstance next(socketPath());
    EXPECT_EQ(next.claim(), SingleInstance::Outcome::serving);
    QSignalSpy reopened(&next, &SingleInstance::reopenRequested);
    SingleInstance later(socketPath());
    EXPECT_EQ(later.claim(), SingleInstance::Outcome::askedRunning);
    EXPECT_TRUE(reopened.wait(5000));
}

TEST_F(SingleInstanceTest, OtherWritersDoNotReopen) {
    SingleInstance first(socketPath());
    ASSERT_EQ(first.claim(), SingleInstance::Outcome::serving);
    QSignalSpy reopened(&first, &SingleInstance::reopenRequested);
    for (const QByteArray& message :
         {QByteArrayLiteral("open\n"), QByteArrayLiteral("reopen and more\n"),
          QByteArray(4096, 'x')}) {
        QLocalSocket stranger;
        stranger.connectToServer(socketPath());
        ASSERT_TRUE(stranger.waitForConnected(5000));
        stranger.write(message);
        ASSERT_TRUE(stranger.waitForBytesWritten(5000));
    }
    // The application still answers a real launch, and only that one.
    SingleInstance later(socketPath());
    EXPECT_EQ(later.claim(), SingleInstance::Outcome::askedRunning);
    EXPECT_TRUE(reopened.wait(5000));
    EXPECT_FALSE(reopened.wait(200));
    EXPECT_EQ(reopened.size(), 1);
}

TEST_F(SingleInstanceTest, NoPlaceForTheSocketLeavesTheApplicationRunningAlone) {
    SingleInstance nowhere(folder_.filePath(QStringLiteral("missing/quillory.socket")));
    EXPECT_EQ(nowhere.claim(), SingleInstance::Outcome::failed);
}

TEST(SingleInstancePathTest, RuntimeFolderElseTemporaryFolderWithTheUserId) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    EXPECT_EQ(SingleInstance::defaultSocketPath(),
              runtime.filePath(QStringLiteral("quillory.socket")));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(SingleInstance::defaultSocketPath().endsWith(
        QStringLiteral("quillory-%1.socket").arg(::getuid())));
    qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
}  // namespace quillory
