#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSignalSpy>

#include "app/interface/mac_status_item_controller.h"
#include "app/interface/testing/fake_tray_backend.h"
#include "app/session/testing/fake_session.h"
#include "design/card_frame.h"
#include "design/menu_bar_mark.h"
#include "design/panel_rect.h"
#include "platform/clock/testing/fake_clock.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)
Q_IMPORT_QML_PLUGIN(QuilloryInterfacePlugin)

namespace quillory {
namespace {

const QRect screen(0, 0, 1280, 800);
const QRect trayIcon(1200, 2, 24, 24);

class StatusItemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine_.addImportPath(QStringLiteral("qrc:/qt/qml"));
        content_ = std::make_unique<QQmlComponent>(&engine_);
        content_->setData(R"(
            import QtQuick
            Item {
                property var keys: []
                objectName: "standIn"
                implicitHeight: 240
                focus: true
                Keys.onPressed: (event) => { keys.push(event.key); keysChanged() }
            })",
                          QUrl(QStringLiteral("qrc:/stand-in.qml")));
        ASSERT_TRUE(content_->isReady()) << content_->errorString().toStdString();
    }

    void TearDown() override { controller_.reset(); }

    void make(bool trayAvailable = true) {
        auto tray = std::make_unique<FakeTrayBackend>();
        tray_ = tray.get();
        tray_->setAvailable(trayAvailable);
        tray_->setGeometry(trayIcon);
        StatusItemEnvironment environment;
        environment.tray = std::move(tray);
        environment.engine = &engine_;
        environment.content = content_.get();
        environment.clock = clock_;
        environment.pointer = [this] { return pointer_; };
        environment.availableAt = [](QPoint) { return screen; };
        environment.applicationState = [this] { return applicationState_; };
        environment.closeOnFocusLoss = closeOnFocusLoss_;
        controller_ = std::make_unique<MacStatusItemController>(
            &session_, [this](const QString& id) { opened_.append(id); }, std::move(environment));
        ASSERT_NE(controller_->panel(), nullptr);
        settle();
    }

    static void settle() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    // Where the panel's surface is on the screen: the window less its shadow margin.
    QRect card() const {
        const int margin = CardFrame::margin;
        return controller_->panel()->geometry().adjusted(margin, margin, -margin, -margin);
    }

    bool shown() const {
        return controller_->panel()->isVisible() && controller_->visibility()->visible();
    }
    bool hidden() const {
        return !controller_->panel()->isVisible() && !controller_->visibility()->visible();
    }

    // The X11 test drives the real activation; here the controller hears of it directly.
    void loseFocusToAnotherApplication() { controller_->panelLostActivation(nullptr); }

    void key(QWindow* window, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &press);
    }

    FakeSession session_;
    QQmlEngine engine_;
    std::unique_ptr<QQmlComponent> content_;
    FakeTrayBackend* tray_ = nullptr;
    std::unique_ptr<MacStatusItemController> controller_;
    std::shared_ptr<FakeClock> clock_ = std::make_shared<FakeClock>(100'000'000'000);
    QPoint pointer_{640, 400};
    Qt::ApplicationState applicationState_ = Qt::ApplicationActive;
    bool closeOnFocusLoss_ = true;
    QStringList opened_;
};

TEST_F(StatusItemTest, TrayShowsTheImageAndTextOfEachState) {
    make();
    EXPECT_TRUE(tray_->shown());
    const std::pair<MacConnectionState, const char*> cases[] = {
        {MacConnectionState::pairing, "Quillory \u00B7 Pairing: confirm the code"},
        {MacConnectionState::connected, "Quillory \u00B7 Connected"},
        {MacConnectionState::failed, "Quillory \u00B7 Connection failed"},
        {MacConnectionState::idle, "Quillory \u00B7 Idle"},
    };
    for (const auto& [state, text] : cases) {
        session_.publishConnectionState(state);
        EXPECT_EQ(tray_->toolTip(), QString::fromUtf8(text));
        EXPECT_EQ(tray_->icon().cacheKey(),
                  MenuBarMark::trayIcon(static_cast<MenuBarMark::State>(state)).cacheKey());
    }
}

TEST_F(StatusItemTest, AClickTogglesAndPlacesThePanelUnderTheIcon) {
    make();
    tray_->click();
    ASSERT_TRUE(shown());
    EXPECT_EQ(card(), panelRect(trayIcon, screen, controller_->contentSize().toSize()));
    EXPECT_EQ(controller_->contentSize(), QSizeF(340, 240));  // the stand-in's height
    tray_->click();
    EXPECT_TRUE(hidden());
    tray_->click();
    EXPECT_TRUE(shown());
}

TEST_F(StatusItemTest, TheClickThatTookTheFocusClosesThePanelOnce) {
    make();
    tray_->click();
    ASSERT_TRUE(shown());
    loseFocusToAnotherApplication();  // the press on the icon, seen as focus loss
    EXPECT_TRUE(hidden());
    clock_->advance(0.12);
    tray_->click();  // the same click's activation
    EXPECT_TRUE(hidden());
    clock_->advance(1);
    tray_->click();  // a new click opens again
    EXPECT_TRUE(shown());

    loseFocusToAnotherApplication();
    ASSERT_TRUE(hidden());
    clock_->advance(0.5);  // too late to be the same click
    tray_->click();
    EXPECT_TRUE(shown());
}

TEST_F(StatusItemTest, PairingCodesOpenWithoutTakingTheKeyboard) {
    make();
    session_.publishPairingCode(QStringLiteral("111111"));
    ASSERT_TRUE(shown());
    EXPECT_FALSE(controller_->panel()->isActive());
    EXPECT_TRUE(controller_->panel()->property("_q_showWithoutActivating").toBool());

    controller_->hidePanel();
    session_.publishPairingCode(QStringLiteral("111111"));  // the same code: no news
    EXPECT_TRUE(hidden());
    session_.publishPairingCode(QString());  // cleared: nothing
    EXPECT_TRUE(hidden());
    session_.publishPairingCode(QStringLiteral("222222"));
    EXPECT_TRUE(shown());
    session_.publishPairingCode(QString());  // cleared before anyone turned to it: gone
    EXPECT_TRUE(hidden());

    controller_->hidePanel();
    controller_->showPanel(MacStatusItemController::Opening::user);
    EXPECT_FALSE(controller_->panel()->property("_q_showWithoutActivating").toBool());
    settle();
    EXPECT_TRUE(controller_->panel()->isActive());
}

TEST_F(StatusItemTest, EscapeIsSwallowedAndOtherKeysReachTheContent) {
    make();
    tray_->click();
    settle();
    ASSERT_TRUE(shown());
    auto* content = controller_->panel()->findChild<QQuickItem*>(QStringLiteral("standIn"));
    ASSERT_NE(content, nullptr);
    ASSERT_TRUE(content->hasActiveFocus())
        << (controller_->panel()->activeFocusItem()
                ? controller_->panel()->activeFocusItem()->metaObject()->className()
                : "none")
        << " active " << controller_->panel()->isActive();
    key(controller_->panel(), Qt::Key_A);
    key(controller_->panel(), Qt::Key_Return);
    EXPECT_TRUE(shown());
    key(controller_->panel(), Qt::Key_Escape);
    EXPECT_TRUE(hidden());
    EXPECT_EQ(content->property("keys").toList(), (QVariantList{Qt::Key_A, Qt::Key_Return}));
}

TEST_F(StatusItemTest, SizeReportsAreDeferredFilteredAndReplaceOnlyWhileShown) {
    make();
    const QSizeF initial = controller_->contentSize();
    controller_->reportSize({340, 0});
    controller_->reportSize({0, 300});
    settle();
    EXPECT_EQ(controller_->contentSize(), initial);

    controller_->reportSize({340, 420});
    EXPECT_EQ(controller_->contentSize(), initial);  // not before the next turn
    settle();
    EXPECT_EQ(controller_->contentSize(), QSizeF(340, 420));
    EXPECT_FALSE(controller_->panel()->isVisible());

    tray_->click();
    const QRect top = card();
    EXPECT_EQ(top.height(), 420);
    controller_->reportSize({340, 500});
    settle();
    EXPECT_EQ(card(), panelRect(trayIcon, screen, QSize(340, 500)));
    EXPECT_EQ(card().top(), top.top());
}

TEST_F(StatusItemTest, HidesWhenTheUserTurnsToSomethingElse) {
    make();
    QWindow other;
    other.resize(100, 100);
    other.show();
    QWindow trayWindow;
    tray_->setOwnWindow(&trayWindow);

    struct Case {
        const char* what;
        std::function<void()> act;
        bool hides;
    };
    auto press = [](QWindow* window) {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &event);
    };
    const Case cases[] = {
        {"press in another window of ours", [&] { press(&other); }, true},
        {"press in the panel", [&] { press(controller_->panel()); }, false},
        {"press on the tray icon's window", [&] { press(&trayWindow); }, false},
        {"focus moves to a window of ours", [&] { controller_->panelLostActivation(&other); },
         false},
        {"focus leaves the application", [&] { controller_->panelLostActivation(nullptr); }, true},
        {"desktop switch", [&] { controller_->desktopSwitched(); }, true},
        {"close request from the content",
         [&] { QMetaObject::invokeMethod(controller_->panel(), "closeRequested"); }, true},
        {"application inactive, active again a turn later",
         [&] {
             controller_->applicationStateChanged(Qt::ApplicationInactive);
             settle();
         },
         false},
        {"application inactive",
         [&] {
             applicationState_ = Qt::ApplicationInactive;
             controller_->applicationStateChanged(Qt::ApplicationInactive);
             settle();
             applicationState_ = Qt::ApplicationActive;
         },
         true},
    };
    for (const Case& c : cases) {
        controller_->showPanel(MacStatusItemController::Opening::user);
        ASSERT_TRUE(shown()) << c.what;
        c.act();
        EXPECT_EQ(hidden(), c.hides) << c.what;
        controller_->hidePanel();
    }
}

// The screenshot tool shares its display with other programs that take the keyboard at moments
// of their own; its panel stays open through that, and still closes when asked.
TEST_F(StatusItemTest, APanelKeptOpenOnFocusLossStaysWhenTheApplicationLosesTheKeyboard) {
    closeOnFocusLoss_ = false;
    make();
    controller_->showPanel(MacStatusItemController::Opening::user);
    loseFocusToAnotherApplication();
    applicationState_ = Qt::ApplicationInactive;
    controller_->applicationStateChanged(Qt::ApplicationInactive);
    settle();
    EXPECT_TRUE(shown());
    QMetaObject::invokeMethod(controller_->panel(), "closeRequested");
    EXPECT_TRUE(hidden());
}

TEST_F(StatusItemTest, WithoutATrayThePanelBecomesANormalWindowAfterTheRecheck) {
    make(false);
    EXPECT_TRUE(controller_->trayRecheck().isActive());
    EXPECT_EQ(controller_->trayRecheck().interval(), 3000);
    EXPECT_FALSE(controller_->panel()->isVisible());

    controller_->recheckTray();
    ASSERT_TRUE(controller_->isFallback());
    ASSERT_TRUE(shown());
    QQuickWindow* window = controller_->panel();
    EXPECT_FALSE(window->flags().testFlag(Qt::FramelessWindowHint));
    EXPECT_NE(window->flags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_EQ(window->title(), "Quillory");
    EXPECT_TRUE(window->mask().isEmpty());

    key(window, Qt::Key_Escape);
    controller_->desktopSwitched();
    controller_->hidePanel();
    EXPECT_TRUE(shown());

    window->close();  // its close button
    EXPECT_TRUE(hidden());
    controller_->showPanel(MacStatusItemController::Opening::user);  // a second launch
    EXPECT_TRUE(shown());
}

TEST_F(StatusItemTest, ATrayAppearingBeforeTheRecheckKeepsTheNormalPath) {
    make(false);
    EXPECT_FALSE(tray_->shown());
    tray_->setAvailable(true);
    controller_->recheckTray();
    EXPECT_FALSE(controller_->isFallback());
    EXPECT_TRUE(tray_->shown());
    EXPECT_FALSE(controller_->trayRecheck().isActive());
    EXPECT_FALSE(controller_->panel()->isVisible());
    tray_->click();
    EXPECT_TRUE(shown());
}

TEST_F(StatusItemTest, TeardownRemovesEverythingAndIgnoresLateChanges) {
    make();
    tray_->click();
    QPointer<QQuickWindow> panel = controller_->panel();
    controller_->teardown();
    EXPECT_TRUE(tray_->removed());
    EXPECT_TRUE(panel.isNull());
    EXPECT_FALSE(controller_->visibility()->visible());
    session_.publishPairingCode(QStringLiteral("333333"));
    session_.publishConnectionState(MacConnectionState::connected);
    EXPECT_NE(tray_->toolTip(), statusToolTip(MacConnectionState::connected));
    controller_->togglePanel();
    controller_->showPanel(MacStatusItemController::Opening::user);
}

TEST_F(StatusItemTest, ThePanelIsCutToItsRoundedShapeWithoutACompositor) {
    make();
    tray_->click();
    const QRegion mask =
        controller_->panel()->mask().translated(-CardFrame::margin, -CardFrame::margin);
    ASSERT_FALSE(mask.isEmpty());
    EXPECT_FALSE(mask.contains(QPoint(1, 1)));
    EXPECT_FALSE(mask.contains(QPoint(338, 238)));
    EXPECT_TRUE(mask.contains(QPoint(170, 1)));
    EXPECT_TRUE(mask.contains(QPoint(22, 22)));
}

TEST_F(StatusItemTest, ContentOpensCardWindowsThroughTheController) {
    make();
    controller_->openUtility(QStringLiteral("settings"));
    EXPECT_EQ(opened_, QStringList{"settings"});
}

}  // namespace
}  // namespace quillory
