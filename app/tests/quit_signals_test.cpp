#include "app/shell/quit_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QStringList>

#include "app/session/testing/fake_session.h"
#include "app/shell/mac_app_lifecycle.h"

namespace quillory {
namespace {

// The test process blocked the signals in main, before Qt made threads, as the application does.
TEST(QuitSignalsTest, RaisedSignalsReachQuitWithTheirKinds) {
    struct Case {
        int signalNumber;
        const char* stop;
    };
    for (const Case& c :
         {Case{SIGINT, "explicit"}, Case{SIGTERM, "interrupted"}, Case{SIGHUP, "interrupted"}}) {
        SCOPED_TRACE(c.signalNumber);
        QStringList stops;
        int loopsEnded = 0;
        MacAppLifecycle::Environment environment;
        environment.session = std::make_shared<FakeSession>();
        environment.stopSession = [&stops](bool explicitQuit) {
            stops << (explicitQuit ? "explicit" : "interrupted");
        };
        environment.endLoop = [&loopsEnded] { ++loopsEnded; };
        MacAppLifecycle lifecycle(std::move(environment));

        QuitSignals watcher;
        ASSERT_TRUE(watcher.watching());
        QObject::connect(&watcher, &QuitSignals::received, &lifecycle,
                         &MacAppLifecycle::quitOnSignal);
        QSignalSpy received(&watcher, &QuitSignals::received);
        ASSERT_EQ(::kill(::getpid(), c.signalNumber), 0);
        ASSERT_TRUE(received.wait(5000));
        EXPECT_EQ(received.first().first().toInt(), c.signalNumber);
        EXPECT_EQ(stops, QStringList{c.stop});
        EXPECT_EQ(loopsEnded, 1);

        // A second signal while quitting changes nothing.
        ASSERT_EQ(::raise(SIGTERM), 0);
        ASSERT_TRUE(received.wait(5000));
        EXPECT_EQ(stops, QStringList{c.stop});
        EXPECT_EQ(loopsEnded, 1);
    }
}

}  // namespace
}  // namespace quillory
