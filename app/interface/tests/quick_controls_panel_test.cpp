#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QTest>

#include "app/interface/mac_status_item_controller.h"
#include "app/interface/quick_controls_model.h"
#include "app/interface/testing/fake_tray_backend.h"
#include "app/interface/testing/quick_items.h"
#include "app/session/testing/fake_session.h"
#include "platform/clock/testing/fake_clock.h"

namespace quillory {
namespace {

// The application's Ctrl+Q as it installs it: a filter over every window's keys.
class QuitCommand : public QObject {
  public:
    int runs = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Q)) {
                ++runs;
                return true;
            }
        }
        return false;
    }
};

class QuickControlsPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine_.addImportPath(QStringLiteral("qrc:/qt/qml"));
        content_ = std::make_unique<QQmlComponent>(
            &engine_,
            QUrl(QStringLiteral("qrc:/qt/qml/QuilloryInterface/qml/MacQuickControls.qml")));
        ASSERT_TRUE(content_->isReady()) << content_->errorString().toStdString();
        auto tray = std::make_unique<FakeTrayBackend>();
        tray->setAvailable(true);
        tray->setGeometry(QRect(1200, 2, 24, 24));
        StatusItemEnvironment environment;
        environment.tray = std::move(tray);
        environment.engine = &engine_;
        environment.content = content_.get();
        environment.availableAt = [](QPoint) { return QRect(0, 0, 1280, 800); };
        environment.applicationState = [] { return Qt::ApplicationActive; };
        controller_ = std::make_unique<MacStatusItemController>(
            &session_,
            [this](const QString& id) {
                // The panel is already hidden when the window is asked for.
                opened_.append(id + (controller_->panel()->isVisible() ? ":shown" : ":hidden"));
            },
            std::move(environment));
        ASSERT_NE(controller_->panel(), nullptr);
        QObject::connect(controller_.get(), &MacStatusItemController::quitRequested,
                         [this] { ++quits_; });
        QQuickItem* quick = findQuickItem(controller_->panel()->contentItem(), "quickControls");
        ASSERT_NE(quick, nullptr);
        model_ = qobject_cast<QuickControlsModel*>(quick->property("model").value<QObject*>());
        ASSERT_NE(model_, nullptr);
        model_->setClock(clock_);
        qApp->installEventFilter(&quitCommand_);
    }

    void TearDown() override {
        qApp->removeEventFilter(&quitCommand_);
        controller_.reset();
    }

    QQuickWindow* panel() const { return controller_->panel(); }

    void openForUser() {
        controller_->showPanel(MacStatusItemController::Opening::user);
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel()));
    }

    void showCode() {
        session_.set(
            {{"connectionState", "pairing"}, {"canApprove", true}, {"pairingCode", "123456"}});
    }

    void click(const char* name) {
        QQuickItem* item = findQuickItem(panel()->contentItem(), QString::fromLatin1(name));
        ASSERT_NE(item, nullptr) << name;
        QTest::qWait(0);  // let the column place the items
        const QPointF center = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(panel(), Qt::LeftButton, {}, center.toPoint());
    }

    FakeSession session_;
    QQmlEngine engine_;
    std::unique_ptr<QQmlComponent> content_;
    std::unique_ptr<MacStatusItemController> controller_;
    QuickControlsModel* model_ = nullptr;
    std::shared_ptr<FakeClock> clock_ = std::make_shared<FakeClock>();
    QuitCommand quitCommand_;
    QStringList opened_;
    int quits_ = 0;
};

TEST_F(QuickControlsPanelTest, ReturnConfirmsOnlyInAnActivePanelAfterTheSecond) {
    showCode();  // opens the panel without the keyboard
    ASSERT_TRUE(panel()->isVisible());
    EXPECT_FALSE(panel()->isActive());
    clock_->advance(1.0);
    model_->refresh();
    QTest::keyClick(panel(), Qt::Key_Return);
    EXPECT_FALSE(session_.calls().contains("approvePairing"));

    session_.set({{"pairingCode", "654321"}});  // a new code, then the user opens the panel
    openForUser();
    clock_->advance(0.9);
    QTest::keyClick(panel(), Qt::Key_Return);
    click("approvePairing");
    EXPECT_FALSE(session_.calls().contains("approvePairing"));
    // The second is over though the model's redraw at its end has not run yet (a busy loop).
    clock_->advance(0.1);
    QTest::keyClick(panel(), Qt::Key_Return);
    EXPECT_EQ(session_.calls(), QStringList{"approvePairing"});
}

TEST_F(QuickControlsPanelTest, EscapeHidesThePanelAndKeepsThePairing) {
    showCode();
    openForUser();
    QTest::keyClick(panel(), Qt::Key_Escape);
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_TRUE(session_.calls().isEmpty());
    openForUser();
    EXPECT_EQ(model_->card(), "pairing");
}

TEST_F(QuickControlsPanelTest, CtrlQIsTheApplicationsAndQuitAsksForTheExplicitQuit) {
    session_.set({{"listening", true}});
    openForUser();
    QTest::keyClick(panel(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quitCommand_.runs, 1);
    click("quitButton");
    EXPECT_EQ(quits_, 1);
}

TEST_F(QuickControlsPanelTest, OpeningAWindowHidesThePanelFirst) {
    openForUser();
    click("openSettings");
    EXPECT_EQ(opened_, QStringList{"settings:hidden"});
}

}  // namespace
}  // namespace quillory
