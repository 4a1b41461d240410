// The permission guide on a real X server with openbox: it shows without taking the keyboard
// from the application in front, and gives it back to our window once access is on. Run inside
// scripts/with-test-services.
#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QQmlEngine>
#include <QRasterWindow>
#include <QTest>
#include <cstdlib>

#include "app/desktop-control/menu/tests/test_application.h"
#include "app/permissions/permission_guide.h"
#include "app/permissions/testing/fake_permission_probe.h"
#include "app/session/qt_main_executor.h"
#include "app/session/testing/fake_session.h"
#include "app/shell/guide_panel.h"
#include "design/card_frame.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/dispatch/testing/manual_executor.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)
Q_IMPORT_QML_PLUGIN(QuilloryInterfacePlugin)

namespace quillory {
namespace {

constexpr int waitMs = 10'000;

class Plain final : public QRasterWindow {
  protected:
    void paintEvent(QPaintEvent*) override {}
};

class RunningGrant final : public GuideGrant {
  public:
    void start() override {}
    DesktopControlGrant::State state() const override {
        return DesktopControlGrant::State::running;
    }
    DesktopControlGrant::Outcome outcome() const override {
        return DesktopControlGrant::Outcome::none;
    }
};

TEST(GuideOnX11, ShowsWithoutFocusAndBringsOurWindowBack) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        GTEST_SKIP() << "needs an X server: run inside scripts/with-test-services";
    }
    const auto connected = X11Desktop::connect(nullptr);
    ASSERT_TRUE(connected) << connected.error();
    const auto& desktop = connected.value();
    const auto frontmost = [&] {
        const auto app = desktop->frontmostApplication();
        return app ? app->processID : 0;
    };

    // Our window has the keyboard first, then the user moves on to another application.
    LastFocusedWindow lastFocused;
    Plain ours;
    ours.setTitle(QStringLiteral("Ours"));
    ours.setGeometry(100, 100, 300, 200);
    ours.show();
    ours.requestActivate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == &ours; }, waitMs));

    const TestApplication gtk(MENU_TEST_GTK);
    ASSERT_TRUE(gtk.isReady());
    std::optional<std::uint32_t> gtkWindow;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const auto& window : desktop->windows().value_or(std::vector<WindowInfo>{})) {
                if (window.processID == gtk.processID) {
                    gtkWindow = window.id;
                }
            }
            return gtkWindow.has_value();
        },
        waitMs));
    desktop->raise(*gtkWindow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frontmost() == gtk.processID; }, waitMs));

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    FakePermissionProbe probe;
    probe.setDesktopControlGranted(false);
    auto executor = std::make_shared<ManualExecutor>();
    PermissionGuide::Parts parts;
    parts.probe = &probe;
    parts.grant = std::make_unique<RunningGrant>();
    parts.clock = executor->clock();
    parts.executor = executor;
    parts.surface = guidePanelSurfaces(&engine);
    parts.activate = [&lastFocused] { lastFocused.activate(); };
    const auto guide = PermissionGuide::create(std::move(parts));
    guide->show(PermissionGuide::Kind::accessibility);

    GuidePanel* panel = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QWindow* window : QGuiApplication::topLevelWindows()) {
                if (auto* candidate = qobject_cast<GuidePanel*>(window);
                    candidate && candidate->isExposed()) {
                    panel = candidate;
                }
            }
            return panel != nullptr;
        },
        waitMs));
    ASSERT_NE(panel->card(), nullptr);
    EXPECT_EQ(panel->card()->width(), GuidePanel::cardWidth);
    // Through the fade and well after it, the application in front keeps the keyboard.
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(25);
        ASSERT_EQ(frontmost(), gtk.processID) << "after " << (i + 1) * 25 << " ms";
        ASSERT_NE(QGuiApplication::focusWindow(), panel);
    }

    // The manual steps make the card taller; without a compositor the window's shape follows.
    const int before = panel->height();
    guide->model().setManual(QStringLiteral("sudo modprobe uinput\nsudo udevadm settle"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->height() > before; }, waitMs));
    if (!panel->mask().isEmpty()) {
        const auto card = [&] { return panel->height() - 2 * CardFrame::margin; };
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return std::abs(panel->mask().boundingRect().height() - card()) <= 1; }, waitMs))
            << panel->mask().boundingRect().height() << " vs " << card() << " from " << before;
    }
    EXPECT_EQ(frontmost(), gtk.processID);

    probe.setDesktopControlGranted(true);
    executor->advance(PermissionGuide::tickInterval);
    ASSERT_TRUE(guide->model().done());
    executor->advance(PermissionGuide::confirmation);
    EXPECT_FALSE(guide->showing());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return frontmost() == getpid() && QGuiApplication::focusWindow() == &ours; }, waitMs))
        << "frontmost " << frontmost() << ", ours " << getpid() << ", focus "
        << (QGuiApplication::focusWindow() ? qPrintable(QGuiApplication::focusWindow()->title())
                                           : "none");
}

// The application's wiring: the shell's request shows the panel, the grant runs, and a dismissed
// password prompt closes the card on the main queue's own timers.
TEST(GuideOnX11, TheShellsRequestRunsTheGrantAndADismissedPromptCloses) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        GTEST_SKIP() << "needs an X server: run inside scripts/with-test-services";
    }
    MainQueue::install(std::make_shared<QtMainExecutor>());
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    DesktopControlGrant::Environment environment;
    environment.command = {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("exit 126")};
    environment.script = "/opt/quillory/grant";
    auto* probe = new FakePermissionProbe;
    probe->setDesktopControlGranted(false);
    MacShell shell(new FakeLoginItem, new FakeUpdates, probe,
                   new DesktopControlGrant(std::move(environment)), PermissionRelaunch::shared());
    const auto guide = installPermissionGuide(shell, &engine);
    shell.showPermissionGuide(SessionShell::PermissionKind::accessibility);
    EXPECT_TRUE(guide->showing());
    EXPECT_EQ(shell.grant()->state(), DesktopControlGrant::State::running);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !guide->showing(); }, waitMs));
    EXPECT_EQ(shell.grant()->outcome(), DesktopControlGrant::Outcome::dismissed);
}

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
