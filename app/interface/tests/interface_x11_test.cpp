// The status panel on a real X server with openbox: focus, activation and placement as the
// window manager decides them. Run inside scripts/with-test-services.
#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QApplication>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QRasterWindow>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/desktop-control/menu/tests/test_application.h"
#include "app/interface/card_window_manager.h"
#include "app/interface/mac_status_item_controller.h"
#include "app/interface/testing/fake_tray_backend.h"
#include "app/session/root_property_notifier.h"
#include "app/session/testing/fake_session.h"
#include "design/card_frame.h"
#include "design/panel_rect.h"
#include "platform/desktop/x11_connection.h"
#include "platform/desktop/x11_desktop.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)
Q_IMPORT_QML_PLUGIN(QuilloryInterfacePlugin)

namespace quillory {
namespace {

constexpr int waitMs = 10'000;

// Input as if from the keyboard and mouse, through XTest on a connection of its own, so that the
// window manager and the focus rules see it as real input.
class XInput {
  public:
    XInput() {
        if (auto opened = X11Connection::open(nullptr)) {
            x_ = opened.value();
        }
    }
    ~XInput() {
        if (x_.connection) {
            xcb_disconnect(x_.connection);
        }
    }
    bool ok() const { return x_.connection != nullptr; }

    void tap(std::uint32_t keysym) {
        const xcb_keycode_t code = keycodeOf(keysym);
        ASSERT_NE(code, 0);
        xcb_test_fake_input(x_.connection, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
        xcb_test_fake_input(x_.connection, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
        sync();
    }

    void click(QPoint at) {
        xcb_test_fake_input(x_.connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, x_.screen->root,
                            static_cast<std::int16_t>(at.x()), static_cast<std::int16_t>(at.y()),
                            0);
        xcb_test_fake_input(x_.connection, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
        xcb_test_fake_input(x_.connection, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
        sync();
    }

    // Asks the window manager for another desktop, as a pager does.
    void switchDesktop(std::uint32_t desktop) {
        const char name[] = "_NET_CURRENT_DESKTOP";
        auto cookie = xcb_intern_atom(x_.connection, 0, sizeof(name) - 1, name);
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(x_.connection, cookie, nullptr);
        ASSERT_NE(atom, nullptr);
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = x_.screen->root;
        message.type = atom->atom;
        message.data.data32[0] = desktop;
        message.data.data32[1] = XCB_CURRENT_TIME;
        std::free(atom);
        xcb_send_event(x_.connection, 0, x_.screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        sync();
    }

    // Where the server shows the window's top-left corner. Qt's own idea lags while the window
    // manager adopts a window just shown: it may still hold the frame's place before placement.
    QPoint origin(WId window) {
        auto* reply = xcb_translate_coordinates_reply(
            x_.connection,
            xcb_translate_coordinates(x_.connection, static_cast<xcb_window_t>(window),
                                      x_.screen->root, 0, 0),
            nullptr);
        const QPoint point = reply ? QPoint(reply->dst_x, reply->dst_y) : QPoint();
        std::free(reply);
        return point;
    }

    // Whether the window manager lists `name` in the window's _NET_WM_STATE.
    bool hasState(WId window, const char* name) {
        const char property[] = "_NET_WM_STATE";
        const xcb_atom_t state = intern(property);
        const xcb_atom_t wanted = intern(name);
        auto* reply = xcb_get_property_reply(
            x_.connection,
            xcb_get_property(x_.connection, 0, static_cast<xcb_window_t>(window), state,
                             XCB_ATOM_ATOM, 0, 64),
            nullptr);
        if (!reply) {
            return false;
        }
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        const bool found = std::find(atoms, atoms + count, wanted) != atoms + count;
        std::free(reply);
        return found;
    }

  private:
    xcb_atom_t intern(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            x_.connection,
            xcb_intern_atom(x_.connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    }

    void sync() {
        std::free(
            xcb_get_input_focus_reply(x_.connection, xcb_get_input_focus(x_.connection), nullptr));
    }

    xcb_keycode_t keycodeOf(std::uint32_t keysym) {
        const xcb_setup_t* setup = xcb_get_setup(x_.connection);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto cookie = xcb_get_keyboard_mapping(x_.connection, setup->min_keycode,
                                               static_cast<std::uint8_t>(count));
        xcb_get_keyboard_mapping_reply_t* reply =
            xcb_get_keyboard_mapping_reply(x_.connection, cookie, nullptr);
        if (!reply) {
            return 0;
        }
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
        const int per = reply->keysyms_per_keycode;
        xcb_keycode_t found = 0;
        for (int i = 0; i < count * per && !found; ++i) {
            if (syms[i] == keysym) {
                found = static_cast<xcb_keycode_t>(setup->min_keycode + i / per);
            }
        }
        std::free(reply);
        return found;
    }

    X11Connection x_;
};

// A window of ours that had the keyboard before the panel appeared.
class Editor : public QRasterWindow {
  public:
    QList<int> keys;
    int presses = 0;
    QPoint lastPress;

  protected:
    void paintEvent(QPaintEvent*) override {}
    void keyPressEvent(QKeyEvent* event) override { keys.append(event->key()); }
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        lastPress = event->globalPosition().toPoint();
    }
};

constexpr std::uint32_t returnKeysym = 0xff0d;

class PanelOnX11 : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            GTEST_SKIP() << "needs an X server: run inside scripts/with-test-services";
        }
        ASSERT_TRUE(input_.ok());
        engine_.addImportPath(QStringLiteral("qrc:/qt/qml"));
        content_ = std::make_unique<QQmlComponent>(&engine_);
        content_->setData(R"(
            import QtQuick
            Rectangle {
                property var keys: []
                objectName: "standIn"
                implicitHeight: 220
                color: "#3060d0"
                focus: true
                Keys.onPressed: (event) => { keys.push(event.key); keysChanged() }
            })",
                          QUrl(QStringLiteral("qrc:/stand-in.qml")));
        editor_.setGeometry(100, 400, 300, 200);
        editor_.setTitle(QStringLiteral("Editor"));
    }

    void TearDown() override {
        controller_.reset();
        input_.switchDesktop(0);
    }

    void make(std::unique_ptr<TrayBackend> tray) {
        StatusItemEnvironment environment;
        environment.tray = std::move(tray);
        environment.engine = &engine_;
        environment.content = content_.get();
        environment.desktop = &desktop_;
        environment.maskCorners = !compositingManagerRuns();
        controller_ =
            std::make_unique<MacStatusItemController>(&session_, nullptr, std::move(environment));
        ASSERT_NE(controller_->panel(), nullptr);
    }

    std::unique_ptr<TrayBackend> fakeTray() {
        auto tray = std::make_unique<FakeTrayBackend>();
        tray->setGeometry(QRect(1200, 2, 24, 24));
        return tray;
    }

    void focusEditor() {
        editor_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor_));
        editor_.requestActivate();
        ASSERT_TRUE(QTest::qWaitFor([&] { return editor_.isActive(); }, waitMs));
    }

    QQuickWindow* panel() const { return controller_->panel(); }

    XInput input_;
    FakeSession session_;
    QQmlEngine engine_;
    std::unique_ptr<QQmlComponent> content_;
    RootPropertyNotifier desktop_{
        {QStringLiteral("_NET_CURRENT_DESKTOP"), QStringLiteral("_NET_ACTIVE_WINDOW")}};
    Editor editor_;
    std::unique_ptr<MacStatusItemController> controller_;
};

TEST_F(PanelOnX11, WithoutATrayTheFallbackWindowAppears) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        GTEST_SKIP() << "a tray runs on this server";
    }
    make(std::make_unique<QtTrayBackend>());
    EXPECT_TRUE(controller_->trayRecheck().isActive());
    controller_->recheckTray();
    ASSERT_TRUE(controller_->isFallback());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(panel()));
    EXPECT_EQ(panel()->title(), "Quillory");
    EXPECT_FALSE(input_.hasState(panel()->winId(), "_NET_WM_STATE_SKIP_TASKBAR"));
}

TEST_F(PanelOnX11, APanelOpenedByACodeLeavesTheKeyboardWhereItWas) {
    focusEditor();
    make(fakeTray());
    session_.publishPairingCode(QStringLiteral("123456"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel()));

    input_.tap(returnKeysym);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor_.keys.isEmpty(); }, waitMs));
    EXPECT_EQ(editor_.keys, QList<int>{Qt::Key_Return});
    EXPECT_FALSE(panel()->isActive());
    EXPECT_TRUE(editor_.isActive());
    auto* content = panel()->findChild<QQuickItem*>(QStringLiteral("standIn"));
    ASSERT_NE(content, nullptr);
    EXPECT_TRUE(content->property("keys").toList().isEmpty());

    // Cancelled from the tablet before anyone turned to it: no focus loss would ever hide it.
    session_.publishPairingCode(QString());
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_FALSE(controller_->visibility()->visible());
}

// Another application's window that covers the screen and has the keyboard: the window manager
// keeps it above every "keep above" window while it is focused. A code shows the panel above it,
// with a tray and without one, and leaves it the keyboard; when the user turns to another such
// window, the code follows.
TEST_F(PanelOnX11, ACodeBringsThePanelAboveAFullScreenWindowInUse) {
    const auto connected = X11Desktop::connect(nullptr);
    ASSERT_TRUE(connected) << connected.error();
    const auto& desktop = connected.value();
    const auto frontmost = [&] {
        const auto application = desktop->frontmostApplication();
        return application ? application->processID : 0;
    };
    // The application's window once it has the keyboard; 0 if it never gets it.
    const auto windowInUse = [&](const TestApplication& application) {
        std::uint32_t id = 0;
        const bool inUse = QTest::qWaitFor(
            [&] {
                for (const auto& window : desktop->windows().value_or(std::vector<WindowInfo>{})) {
                    if (window.processID == application.processID) {
                        id = window.id;
                    }
                }
                return id != 0 && frontmost() == application.processID;
            },
            waitMs);
        return inUse ? id : 0;
    };
    const auto stackedAbove = [&](std::uint32_t covering) {
        const auto windows = desktop->windows().value_or(std::vector<WindowInfo>{});
        const auto position = [&](std::uint32_t id) {
            return std::find_if(windows.begin(), windows.end(),
                                [id](const WindowInfo& window) { return window.id == id; }) -
                   windows.begin();
        };
        // Front to back; a window that is not mapped is not listed, so counts as behind.
        return position(static_cast<std::uint32_t>(panel()->winId())) < position(covering);
    };
    for (const bool withTray : {true, false}) {
        SCOPED_TRACE(withTray ? "tray" : "no tray");
        auto tray = fakeTray();
        static_cast<FakeTrayBackend*>(tray.get())->setAvailable(withTray);
        make(std::move(tray));
        if (!withTray) {
            controller_->recheckTray();
            ASSERT_TRUE(controller_->isFallback());
            ASSERT_TRUE(QTest::qWaitFor([&] { return panel()->isActive(); }, waitMs));
        }

        const TestApplication gtk(MENU_TEST_GTK, {"--report-events"});
        ASSERT_TRUE(gtk.isReady());
        const std::uint32_t covering = windowInUse(gtk);
        ASSERT_NE(covering, 0u);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !stackedAbove(covering); }, waitMs));

        session_.publishPairingCode(QStringLiteral("123456"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return stackedAbove(covering); }, waitMs));
        EXPECT_EQ(frontmost(), gtk.processID);
        {
            const TestApplication other(MENU_TEST_GTK, {"--report-events"});
            ASSERT_TRUE(other.isReady());
            const std::uint32_t turnedTo = windowInUse(other);
            ASSERT_NE(turnedTo, 0u);
            EXPECT_TRUE(QTest::qWaitFor([&] { return stackedAbove(turnedTo); }, waitMs));
        }
        // Back in the first window as that one closes.
        EXPECT_TRUE(QTest::qWaitFor([&] { return frontmost() == gtk.processID; }, waitMs));
        EXPECT_TRUE(QTest::qWaitFor([&] { return stackedAbove(covering); }, waitMs));

        session_.publishPairingCode(QString());
        if (withTray) {
            // Nobody turned to it: it goes with the code, and stays on top for the user.
            EXPECT_TRUE(QTest::qWaitFor([&] { return !panel()->isVisible(); }, waitMs));
            EXPECT_TRUE(panel()->flags().testFlag(Qt::WindowStaysOnTopHint));
        } else {
            // Once the code is gone the window is an ordinary one again.
            EXPECT_TRUE(QTest::qWaitFor([&] { return !stackedAbove(covering); }, waitMs));
            EXPECT_FALSE(panel()->flags().testFlag(Qt::WindowStaysOnTopHint));
        }
        controller_.reset();
    }
}

TEST_F(PanelOnX11, AUserOpenedPanelTakesTheKeyboardAndHidesWhenLeft) {
    focusEditor();
    make(fakeTray());
    controller_->showPanel(MacStatusItemController::Opening::user);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel()->isActive(); }, waitMs));
    // Part of the tray icon: no taskbar entry of its own.
    EXPECT_TRUE(input_.hasState(panel()->winId(), "_NET_WM_STATE_SKIP_TASKBAR"));
    // A code that comes and goes leaves the panel the user is looking at.
    session_.publishPairingCode(QStringLiteral("123456"));
    session_.publishPairingCode(QString());
    EXPECT_TRUE(panel()->isVisible());

    input_.click(editor_.geometry().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor_.presses > 0; }, waitMs));
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_FALSE(controller_->visibility()->visible());

    ASSERT_TRUE(desktop_.isWatching());
    controller_->showPanel(MacStatusItemController::Opening::user);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel()->isActive(); }, waitMs));
    input_.switchDesktop(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel()->isVisible(); }, waitMs));
}

// With a compositing manager the cards' windows keep their transparent margin for the shadow,
// and a click there reaches the window below instead of moving the card.
TEST_F(PanelOnX11, AClickBesideACardReachesTheWindowBelowItWhenComposited) {
    const QString manager = QStandardPaths::findExecutable(QStringLiteral("xcompmgr"));
    if (manager.isEmpty()) {
        GTEST_SKIP() << "xcompmgr is not installed";
    }
    QProcess compositor;
    compositor.start(manager, {});
    ASSERT_TRUE(compositor.waitForStarted());
    const auto stop = qScopeGuard([&] {
        compositor.terminate();
        compositor.waitForFinished(waitMs);
    });
    ASSERT_TRUE(QTest::qWaitFor([] { return compositingManagerRuns(); }, waitMs));

    editor_.setGeometry(QGuiApplication::primaryScreen()->geometry());
    focusEditor();
    QQmlComponent view(&engine_);
    view.setData(R"(
        import QtQuick
        Rectangle {
            property int presses: 0
            objectName: "card"
            implicitWidth: 300
            implicitHeight: 200
            radius: 22
            MouseArea { anchors.fill: parent; onPressed: parent.presses++ }
        })",
                 QUrl(QStringLiteral("qrc:/card.qml")));
    CardWindowManager::Environment environment;
    environment.engine = &engine_;
    environment.compositing = compositingManagerRuns;
    CardWindowManager cards(&session_, std::move(environment));
    cards.setView(QStringLiteral("settings"), &view);
    cards.open(QStringLiteral("settings"));
    QQuickWindow* cardWindow = cards.window(QStringLiteral("settings"));
    make(fakeTray());

    const auto windowAndCard = [&](int which) -> std::pair<QQuickWindow*, QQuickItem*> {
        if (which == 0) {
            return {cardWindow, cardWindow->findChild<QQuickItem*>(QStringLiteral("card"))};
        }
        // A press in another window of ours hid it.
        controller_->showPanel(MacStatusItemController::Opening::user);
        return {panel(), panel()->findChild<QQuickItem*>(QStringLiteral("standIn"))};
    };
    for (int which : {0, 1}) {
        SCOPED_TRACE(which == 0 ? "card window" : "status panel");
        const auto [window, card] = windowAndCard(which);
        ASSERT_TRUE(window && card);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        window->raise();
        window->requestActivate();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->isActive(); }, waitMs));
        EXPECT_TRUE(window->mask().isEmpty());
        EXPECT_NE(window->findChild<QQuickItem*>(QStringLiteral("windowShadow")), nullptr);
        const QPoint inWindow = card->mapToScene(QPointF(0, 0)).toPoint();
        const QRect edge(input_.origin(window->winId()) + inWindow, card->size().toSize());
        const int pressesBelow = editor_.presses;

        // Inside the card: the card's. Beside it: the window's below. Clear of the screen's
        // centre, where the window manager flashes the name of a desktop switched to.
        const QPoint inside(edge.left() + 30, edge.top() + edge.height() / 4);
        input_.click(inside);
        if (which == 0) {
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return card->property("presses").toInt() == 1; }, waitMs));
        }
        const QPoint beside(edge.left() - 10, inside.y());
        input_.click(beside);
        ASSERT_TRUE(QTest::qWaitFor([&] { return editor_.presses > pressesBelow; }, waitMs));
        EXPECT_EQ(editor_.presses, pressesBelow + 1);
        EXPECT_EQ(editor_.lastPress, beside);
    }
}

TEST_F(PanelOnX11, WithTrayerThePanelSitsUnderTheIcon) {
    const QString trayer = QStandardPaths::findExecutable(QStringLiteral("trayer"));
    if (trayer.isEmpty()) {
        GTEST_SKIP() << "trayer is not installed";
    }
    QProcess tray;
    tray.start(trayer,
               {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                "--height", "24", "--SetDockType", "true", "--SetPartialStrut", "true"});
    ASSERT_TRUE(tray.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, waitMs));

    auto backend = std::make_unique<QtTrayBackend>();
    QtTrayBackend* icon = backend.get();
    make(std::move(backend));
    ASSERT_FALSE(controller_->isFallback());
    // Embedding happens on the tray's schedule: the icon has its place once it left the origin.
    EXPECT_TRUE(QTest::qWaitFor([&] { return icon->geometry().x() > 0; }, waitMs))
        << icon->geometry().x() << "," << icon->geometry().y();
    const QRect anchor = icon->geometry();

    int triggers = 0;
    QObject::connect(icon, &TrayBackend::triggered, [&] { ++triggers; });
    input_.click(anchor.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel()->isExposed(); }, waitMs))
        << "icon at " << anchor.x() << "," << anchor.y() << " " << anchor.width() << "x"
        << anchor.height() << ", triggers " << triggers;
    const QRect available = QGuiApplication::screenAt(anchor.center())->availableGeometry();
    const QRect expected = panelRect(anchor, available, controller_->contentSize().toSize());
    const auto card = [&] {
        const int margin = CardFrame::margin;
        return panel()->geometry().adjusted(margin, margin, -margin, -margin);
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return card() == expected; }, waitMs))
        << "panel at " << card().x() << "," << card().y() << ", icon at " << anchor.x() << ","
        << anchor.y();
    EXPECT_GT(card().top(), anchor.bottom());

    controller_->teardown();
    tray.terminate();
    EXPECT_TRUE(tray.waitForFinished(waitMs));
}

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
