#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>

#include "app/session/desktop_application_icons.h"
#include "app/session/qt_main_executor.h"
#include "app/studio/system_studio.h"
#include "app/studio/tests/test_window_process.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/dispatch/main_queue.h"

namespace quillory {
namespace {

using Kind = StudioSignal::Kind;
using testing::TestWindowProcess;

// The host's Studio as quillory builds it, against Xvfb, openbox and a test window.
class SystemStudioX11Test : public ::testing::Test {
  protected:
    void SetUp() override {
        MainQueue::install(executor);
        auto connected = X11Desktop::connect(nullptr);
        ASSERT_TRUE(connected) << connected.error();
        desktop = std::move(connected).value();
        auto windowIcons = X11WindowIcons::connect(nullptr);
        ASSERT_TRUE(windowIcons) << windowIcons.error();
        auto icons = std::make_shared<DesktopApplicationIcons>(std::move(windowIcons).value(),
                                                               DesktopEntries::shared());
        control.reset(SystemStudio::create(desktop, icons, static_cast<std::int32_t>(::getpid())));
        control->setHooks({.send = [this](const StudioSignal& signal) { sent.push_back(signal); }});
    }
    void TearDown() override {
        control.reset();
        QCoreApplication::processEvents();
    }

    template <class Condition>
    bool runUntil(Condition done, int milliseconds = 20'000) {
        QDeadlineTimer deadline(milliseconds);
        while (!done() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        return done();
    }
    std::vector<StudioSignal> of(Kind kind) const {
        std::vector<StudioSignal> found;
        std::copy_if(sent.begin(), sent.end(), std::back_inserter(found),
                     [&](const StudioSignal& signal) { return signal.kind == kind; });
        return found;
    }

    std::shared_ptr<QtMainExecutor> executor = std::make_shared<QtMainExecutor>();
    std::shared_ptr<X11Desktop> desktop;
    std::unique_ptr<StudioSessionControl> control;
    std::vector<StudioSignal> sent;
};

TEST_F(SystemStudioX11Test, ListsTheDisplayAndTheTestWindowWithIconAndThumbnails) {
    TestWindowProcess window({"--title", "Listed", "--geometry", "640x480+200+150"});
    ASSERT_TRUE(window.running());
    // Listed once the window manager has mapped it on screen.
    ASSERT_TRUE(runUntil([&] {
        const auto windows = desktop->shareableWindows();
        return windows && std::any_of(windows->begin(), windows->end(), [](const auto& shown) {
                   return shown.title == "Listed" && shown.onScreen;
               });
    }));
    control->handle(StudioSignal{.id = Uuid::random(), .kind = Kind::listSources});
    ASSERT_TRUE(runUntil([&] { return !of(Kind::sources).empty(); }));
    const auto sources = *of(Kind::sources).front().sources;
    ASSERT_GE(sources.size(), 2u);
    EXPECT_EQ(sources[0].kind, StudioSource::Kind::display);
    EXPECT_EQ(sources[0].name, "Main display");
    const auto listed = std::find_if(sources.begin(), sources.end(),
                                     [](const StudioSource& s) { return s.name == "Listed"; });
    ASSERT_NE(listed, sources.end());
    // The window's own _NET_WM_ICON, rendered to a PNG the tablet accepts.
    ASSERT_TRUE(listed->iconPNG);
    EXPECT_TRUE(listed->isValid());

    ASSERT_TRUE(runUntil([&] { return of(Kind::thumbnail).size() == sources.size(); }));
    for (const auto& thumbnail : of(Kind::thumbnail)) {
        EXPECT_TRUE(thumbnail.isValid());
    }
    EXPECT_TRUE(of(Kind::failure).empty());
    const auto main = desktop->mainDisplay();
    ASSERT_TRUE(main);
    EXPECT_EQ(main->bounds.width, 1920);
    EXPECT_EQ(main->bounds.height, 1080);
    window.close();
}

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
