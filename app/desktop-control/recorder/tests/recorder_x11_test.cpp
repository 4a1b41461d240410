// The recorder against a real X server (Xvfb with openbox), typed through XTEST as a user would.
#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QQmlEngine>
#include <QRasterWindow>
#include <QTest>
#include <functional>
#include <memory>

#include "app/desktop-control/menu/tests/test_application.h"
#include "app/desktop-control/recorder/recorder_model.h"
#include "app/desktop-control/recorder/recorder_panel.h"
#include "app/desktop-control/recorder/shortcut_recorder.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"
#include "platform/input/input_event.h"
#include "platform/input/xtest_input_sink.h"
#include "platform/keyboard/keyboard_layout.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)
Q_IMPORT_QML_PLUGIN(QuilloryRecorderPlugin)

namespace quillory {
namespace {

using K = DesktopKey;
using Chord = std::vector<DesktopKey>;

// Generous: the machine may be busy, and a pass never waits this long.
constexpr int waitMs = 30'000;

bool processUntil(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, waitMs);
}

// Counts the windows the recorder raises, passing everything to the real desktop.
class CountingDesktop final : public Desktop {
  public:
    explicit CountingDesktop(std::shared_ptr<Desktop> real) : real_(std::move(real)) {}
    std::vector<DisplayInfo> displays() const override { return real_->displays(); }
    std::optional<std::vector<WindowInfo>> windows() const override { return real_->windows(); }
    std::optional<std::vector<ShareableWindow>> shareableWindows() const override {
        return real_->shareableWindows();
    }
    std::optional<ApplicationInfo> frontmostApplication() const override {
        return real_->frontmostApplication();
    }
    bool raise(std::uint32_t windowID) override {
        ++raised;
        return real_->raise(windowID);
    }
    int raised = 0;

  private:
    std::shared_ptr<Desktop> real_;
};

// A window of this process that keeps the keys it receives.
class KeyWindow final : public QRasterWindow {
  public:
    std::vector<int> pressed;

  protected:
    void keyPressEvent(QKeyEvent* event) override { pressed.push_back(event->key()); }
};

class RecorderX11Test : public ::testing::Test {
  protected:
    void SetUp() override {
        auto x11 = X11Desktop::connect(nullptr);
        ASSERT_TRUE(x11) << x11.error();
        desktop = std::make_shared<CountingDesktop>(x11.value());
        auto connectedLayout = KeyboardLayout::connect(nullptr);
        ASSERT_TRUE(connectedLayout) << connectedLayout.error();
        layout = std::move(connectedLayout).value();
        auto connectedKeys = XTestInputSink::connect(nullptr);
        ASSERT_TRUE(connectedKeys) << connectedKeys.error();
        keys = std::move(connectedKeys).value();
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        recorder = std::make_unique<ShortcutRecorder>(
            ShortcutRecorder::Environment{executor, desktop, layout, &engine});
    }
    void TearDown() override {
        recorder.reset();
        // Panels of earlier recordings, before the engine that made them goes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void start() {
        recorder->start(QStringLiteral("Menu test"), {},
                        [this](std::optional<Chord> chord) { results.push_back(chord); });
    }
    void press(std::uint16_t code, bool down) {
        InputEvent event;
        event.type = InputEventType::keyDown;
        event.keyCode = code;
        event.keyIsDown = down;
        keys->post(event);
    }
    void type(std::initializer_list<std::uint16_t> codes) {
        for (const std::uint16_t code : codes) {
            press(code, true);
        }
        for (auto it = std::rbegin(codes); it != std::rend(codes); ++it) {
            press(*it, false);
        }
    }
    bool panelHasFocus() const {
        return recorder->panel() && QGuiApplication::focusWindow() == recorder->panel();
    }
    bool hasResult() const { return recorder->model()->hasResult(); }
    // Whether another client holds the keyboard: this test's own grab is refused.
    bool keyboardHeld() const {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        std::unique_ptr<xcb_grab_keyboard_reply_t, decltype(&free)> reply(
            xcb_grab_keyboard_reply(connection,
                                    xcb_grab_keyboard(connection, 0, root, XCB_CURRENT_TIME,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                    nullptr),
            &free);
        xcb_disconnect(connection);  // ends a grab of our own
        return reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    }
    std::optional<std::int32_t> frontmostProcess() const {
        const auto front = desktop->frontmostApplication();
        return front ? std::optional(front->processID) : std::nullopt;
    }

    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    std::shared_ptr<CountingDesktop> desktop;
    std::shared_ptr<KeyboardLayout> layout;
    std::unique_ptr<XTestInputSink> keys;
    QQmlEngine engine;
    std::unique_ptr<ShortcutRecorder> recorder;
    std::vector<std::optional<Chord>> results;
};

TEST_F(RecorderX11Test, TakesTheFocusRecordsAChordAndGivesTheFocusBack) {
    TestApplication gtk(MENU_TEST_GTK);
    ASSERT_TRUE(gtk.isReady());
    ASSERT_TRUE(processUntil([&] { return frontmostProcess() == gtk.processID; }));

    start();
    ASSERT_TRUE(processUntil([&] { return panelHasFocus(); }));
    ASSERT_TRUE(recorder->panel()->card());
    EXPECT_EQ(recorder->panel()->card()->width(), RecorderPanel::cardWidth);
    EXPECT_GT(recorder->panel()->card()->height(), 300);

    type({KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_S});
    ASSERT_TRUE(processUntil([&] { return hasResult(); }));
    EXPECT_TRUE(results.empty());
    executor->advance(RecorderCore::handOverSeconds);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], (Chord{K::control, K::shift, K::s}));
    EXPECT_EQ(desktop->raised, 1);
    EXPECT_TRUE(processUntil([&] { return frontmostProcess() == gtk.processID; }));
}

// Under focus-stealing prevention the panel stays behind the application in front; the chord
// still goes to the recorder, and no modifier of an earlier recording counts as held.
TEST_F(RecorderX11Test, AChordTypedWhileAnotherApplicationKeepsTheFocusIsRecorded) {
    TestApplication gtk(MENU_TEST_GTK);
    ASSERT_TRUE(gtk.isReady());
    ASSERT_TRUE(processUntil([&] { return frontmostProcess() == gtk.processID; }));
    const std::uint32_t gtkWindow = desktop->frontmostApplication()->windowID;

    start();
    ASSERT_TRUE(processUntil([&] { return keyboardHeld(); }));
    desktop->raise(gtkWindow);
    ASSERT_TRUE(processUntil([&] { return frontmostProcess() == gtk.processID; }));
    // Left Control is released only once the recording is over, unseen by it.
    press(KEY_LEFTCTRL, true);
    type({KEY_W});
    ASSERT_TRUE(processUntil([&] { return hasResult(); }));
    executor->advance(RecorderCore::handOverSeconds);
    ASSERT_TRUE(processUntil([&] { return !keyboardHeld(); }));
    press(KEY_LEFTCTRL, false);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], (Chord{K::control, K::w}));

    start();
    ASSERT_TRUE(processUntil([&] { return keyboardHeld(); }));
    type({KEY_RIGHTCTRL});
    ASSERT_TRUE(processUntil([&] { return hasResult(); }));
    executor->advance(RecorderCore::handOverSeconds);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[1], Chord{K::control});
}

// Every way a recording ends gives the keyboard back.
TEST_F(RecorderX11Test, EveryEndReleasesTheKeyboard) {
    const std::pair<const char*, std::function<void()>> ends[] = {
        {"cancel", [&] { recorder->cancel(); }},
        {"escape", [&] { type({KEY_ESC}); }},
        {"chord",
         [&] {
             type({KEY_A});
             ASSERT_TRUE(processUntil([&] { return hasResult(); }));
             executor->advance(RecorderCore::handOverSeconds);
         }},
        {"timeout", [&] { executor->advance(RecorderCore::timeoutSeconds); }},
        {"silent stop", [&] { recorder->stop(false); }},
        {"recorder gone", [&] { recorder.reset(); }},
    };
    for (const auto& [name, end] : ends) {
        SCOPED_TRACE(name);
        start();
        ASSERT_TRUE(processUntil([&] { return keyboardHeld(); }));
        end();
        EXPECT_TRUE(processUntil([&] { return !keyboardHeld(); }));
    }
}

TEST_F(RecorderX11Test, KeysForAnotherWindowOfTheProcessPassUntouched) {
    KeyWindow other;
    other.resize(200, 100);
    other.show();
    start();
    ASSERT_TRUE(processUntil([&] { return panelHasFocus() && keyboardHeld(); }));
    other.requestActivate();
    ASSERT_TRUE(processUntil([&] { return QGuiApplication::focusWindow() == &other; }));

    type({KEY_A});
    ASSERT_TRUE(processUntil([&] { return !other.pressed.empty(); }));
    EXPECT_EQ(other.pressed.front(), Qt::Key_A);
    EXPECT_FALSE(hasResult());

    // Nothing is raised when the recording ends: the window in front was this process's own.
    recorder->stop(true);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], std::nullopt);
    EXPECT_EQ(desktop->raised, 0);
}

TEST_F(RecorderX11Test, RecordsTheLayoutsCharacterNotTheKeysPosition) {
    struct Restore {
        ~Restore() { QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); }
    } restore;
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("de")}), 0);
    layout->refresh();
    ASSERT_EQ(layout->current()->layoutName().rfind("German", 0), 0u)
        << layout->current()->layoutName();

    start();
    ASSERT_TRUE(processUntil([&] { return panelHasFocus(); }));
    // AltGr+Q types "@": no chord carries AltGr, so it records nothing rather than a bare "q".
    type({KEY_RIGHTALT, KEY_Q});
    type({KEY_Y});
    ASSERT_TRUE(processUntil([&] { return hasResult(); }));
    executor->advance(RecorderCore::handOverSeconds);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], Chord{K::z});
}

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
