#include <gtest/gtest.h>

#include <QApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTest>

#include "app/interface/card_window_manager.h"
#include "app/session/testing/fake_session.h"
#include "app/tests/x11_windows.h"

// Card windows on a real X server with openbox: what the window manager does to them.
namespace quillory {
namespace {

TEST(CardWindowX11Test, TheWindowManagersCloseEndsThePenTest) {
    testing::Windows windows;
    ASSERT_TRUE(windows.connected());
    QQmlEngine engine;
    QQmlComponent view(&engine);
    view.setData("import QtQuick\nItem { implicitWidth: 320; implicitHeight: 240 }",
                 QUrl(QStringLiteral("qrc:/pen-test-view.qml")));
    FakeSession session;
    CardWindowManager manager(&session, {&engine, nullptr, nullptr});
    manager.setView(QStringLiteral("pencil-test"), &view);

    manager.open(QStringLiteral("pencil-test"));
    QQuickWindow* window = manager.window(QStringLiteral("pencil-test"));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ASSERT_TRUE(session.pencilTestActive());
    // Listed by the window manager (the taskbar's source), under the application's class.
    const auto windowID = static_cast<xcb_window_t>(window->winId());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return windows.withClass("Quillory") == std::vector<xcb_window_t>{windowID}; },
        10000));

    windows.requestClose(windowID);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !session.pencilTestActive(); }, 10000));
    EXPECT_EQ(session.fakeInput()->calls(),
              (QStringList{"setRecording:true", "setRecording:false"}));
    EXPECT_EQ(session.calls(), (QStringList{"setPencilTestActive:true", "updateInputState",
                                            "setPencilTestActive:false", "updateInputState"}));
    EXPECT_EQ(manager.window(QStringLiteral("pencil-test")), nullptr);
}

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
