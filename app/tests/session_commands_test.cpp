#include <gtest/gtest.h>

#include <QMenu>
#include <QQuickWindow>
#include <QTest>

#include "app/interface/mac_session_commands.h"
#include "app/session/testing/fake_session.h"

namespace quillory {
namespace {

class SessionCommandsTest : public ::testing::Test {
  protected:
    SessionCommandsTest() {
        MacSessionCommands::Actions actions;
        actions.showPanel = [this] { log_ << QStringLiteral("showPanel"); };
        actions.open = [this](const QString& identifier) {
            log_ << QStringLiteral("open:") + identifier;
        };
        actions.quit = [this] { log_ << QStringLiteral("quit"); };
        commands_ = std::make_unique<MacSessionCommands>(&session_, std::move(actions));
    }

    FakeUpdates& updates() { return *session_.fakeShell()->fakeUpdates(); }

    FakeSession session_;
    std::unique_ptr<MacSessionCommands> commands_;
    QStringList log_;
};

TEST_F(SessionCommandsTest, TheMenuHoldsTheCommandsInOrder) {
    QList<QAction*> items;
    for (QAction* action : commands_->menu()->actions()) {
        if (!action->isSeparator()) {
            items << action;
        }
    }
    EXPECT_EQ(items,
              (QList<QAction*>{commands_->openAction(), commands_->rememberedDevicesAction(),
                               commands_->settingsAction(), commands_->checkForUpdatesAction(),
                               commands_->clearPenTestAction(), commands_->disconnectAction(),
                               commands_->quitAction()}));
    for (QAction* action : items) {
        action->trigger();
    }
    EXPECT_EQ(log_, (QStringList{"showPanel", "open:remembered-devices", "open:settings", "quit"}));
}

TEST_F(SessionCommandsTest, CheckForUpdatesIsAbsentWithoutAnUpdaterAndDisabledWhileBusy) {
    struct Case {
        bool available;
        bool canCheck;
        bool visible;
        bool enabled;
    };
    QAction* check = commands_->checkForUpdatesAction();
    for (const Case& c : {Case{false, false, false, false}, Case{false, true, false, false},
                          Case{true, false, true, false}, Case{true, true, true, true}}) {
        updates().publishAvailable(c.available);
        updates().publishCanCheck(c.canCheck);
        EXPECT_EQ(check->isVisible(), c.visible) << c.available << c.canCheck;
        EXPECT_EQ(check->isEnabled(), c.enabled) << c.available << c.canCheck;
    }
    check->trigger();
    EXPECT_EQ(updates().calls(), QStringList{"checkForUpdates"});
}

TEST_F(SessionCommandsTest, DisconnectIsEnabledOnlyWhileConnected) {
    struct Case {
        MacConnectionState state;
        bool connected;
    };
    for (const Case& c :
         {Case{MacConnectionState::pairing, false}, Case{MacConnectionState::connected, true},
          Case{MacConnectionState::idle, false}, Case{MacConnectionState::failed, false}}) {
        session_.publishConnectionState(c.state);
        session_.publishConnected(c.connected);
        EXPECT_EQ(commands_->disconnectAction()->isEnabled(), c.connected);
    }
    session_.publishConnected(true);
    commands_->disconnectAction()->trigger();
    EXPECT_EQ(session_.calls(), QStringList{"disconnect"});
}

TEST_F(SessionCommandsTest, ShortcutsActInEveryWindowEvenWithThePenTestClosed) {
    commands_->installShortcuts();
    QQuickWindow window;
    window.resize(100, 100);
    window.show();
    QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    // Unbound keys pass.
    QTest::keyClick(&window, Qt::Key_Q);
    QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(session_.fakeInput()->calls(), QStringList{"clearSamples"});
    EXPECT_EQ(log_, (QStringList{"open:settings", "quit"}));
}

}  // namespace
}  // namespace quillory
