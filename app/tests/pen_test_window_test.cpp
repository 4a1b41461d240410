#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QScreen>
#include <QTest>

#include "app/interface/card_window_manager.h"
#include "app/interface/mac_session_commands.h"
#include "app/session/testing/fake_session.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)
Q_IMPORT_QML_PLUGIN(QuilloryInterfacePlugin)

namespace quillory {
namespace {

// The pen test as the application opens it: its view in the "pencil-test" card window, with
// the application's commands in place.
class PenTestWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine_.addImportPath(QStringLiteral("qrc:/qt/qml"));
        view_ = std::make_unique<QQmlComponent>(
            &engine_, QUrl(QStringLiteral("qrc:/qt/qml/QuilloryInterface/qml/MacPencilTest.qml")));
        ASSERT_TRUE(view_->isReady()) << view_->errorString().toStdString();
        CardWindowManager::Environment environment;
        environment.engine = &engine_;
        manager_ = std::make_unique<CardWindowManager>(&session_, std::move(environment));
        manager_->setView(QStringLiteral("pencil-test"), view_.get());
        MacSessionCommands::Actions actions;
        actions.showPanel = [] {};
        actions.open = [](const QString&) {};
        actions.quit = [] {};
        commands_ = std::make_unique<MacSessionCommands>(&session_, std::move(actions));
        commands_->installShortcuts();
        session_.publishConnected(true);
        manager_->open(QStringLiteral("pencil-test"));
        window_ = manager_->window(QStringLiteral("pencil-test"));
        ASSERT_NE(window_, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
    }

    void TearDown() override {
        manager_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QQmlEngine engine_;
    std::unique_ptr<QQmlComponent> view_;
    FakeSession session_;
    std::unique_ptr<CardWindowManager> manager_;
    std::unique_ptr<MacSessionCommands> commands_;
    QQuickWindow* window_ = nullptr;
};

TEST_F(PenTestWindowTest, CtrlShiftKClearsOnceWhileTheWindowHasTheKeyboard) {
    EXPECT_TRUE(session_.pencilTestActive());
    FakeInput* input = session_.fakeInput();
    PenSample began;
    began.phase = PenSample::Phase::began;
    input->setSamples({began});
    input->clearCalls();
    window_->requestActivate();
    QTest::keyClick(window_, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(input->calls(), QStringList{"clearSamples"});
    EXPECT_TRUE(input->samples().empty());
}

TEST_F(PenTestWindowTest, TheWindowFitsItsScreenAndReturnToDesktopClosesIt) {
    const QRect available = window_->screen()->availableGeometry();
    EXPECT_LE(window_->height(), available.height());
    EXPECT_LE(window_->width(), available.width());
    auto* button = window_->findChild<QQuickItem*>(QStringLiteral("returnToDesktop"));
    ASSERT_NE(button, nullptr);
    const QPointF centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2));
    EXPECT_LE(centre.y(), window_->height());
    QTest::mouseClick(window_, Qt::LeftButton, {}, centre.toPoint());
    EXPECT_TRUE(session_.calls().contains(QStringLiteral("setDesktopControl:true")));
    EXPECT_EQ(manager_->window(QStringLiteral("pencil-test")), nullptr);
    EXPECT_FALSE(session_.pencilTestActive());
}

}  // namespace
}  // namespace quillory
