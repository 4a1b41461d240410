#include "app/interface/card_window_manager.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSignalSpy>
#include <memory>

#include "app/session/testing/fake_session.h"
#include "design/card_frame.h"

namespace quillory {
namespace {

const char* const testView = R"(
    import QtQuick
    Item {
        property var session
        property var actions
        property var updates
        objectName: "testView"
        implicitWidth: 300
        implicitHeight: 200
    })";

class CardWindowManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        view_ = std::make_unique<QQmlComponent>(&engine_);
        view_->setData(testView, QUrl(QStringLiteral("qrc:/test-view.qml")));
        ASSERT_TRUE(view_->isReady()) << view_->errorString().toStdString();
        make();
    }

    void make() {
        manager_.reset();
        CardWindowManager::Environment environment;
        environment.engine = &engine_;
        environment.finish = [this] { ++finished_; };
        environment.compositing = [this] { return compositing_; };
        manager_ = std::make_unique<CardWindowManager>(&session_, std::move(environment));
        for (const QString& identifier : CardWindowManager::identifiers()) {
            manager_->setView(identifier, view_.get());
        }
    }

    QQuickItem* viewOf(const QString& identifier) const {
        QQuickWindow* window = manager_->window(identifier);
        return window ? window->findChild<QQuickItem*>(QStringLiteral("testView")) : nullptr;
    }

    // The deferred deletion of a closed window.
    static void settle() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    QQmlEngine engine_;
    std::unique_ptr<QQmlComponent> view_;
    FakeSession session_;
    std::unique_ptr<CardWindowManager> manager_;
    bool compositing_ = false;
    int finished_ = 0;
};

TEST_F(CardWindowManagerTest, OneWindowPerIdentifierFrontedOnASecondOpen) {
    manager_->open(QStringLiteral("settings"));
    QQuickWindow* settings = manager_->window(QStringLiteral("settings"));
    ASSERT_NE(settings, nullptr);
    QQuickItem* view = viewOf(QStringLiteral("settings"));
    manager_->open(QStringLiteral("settings"));
    EXPECT_EQ(manager_->window(QStringLiteral("settings")), settings);
    EXPECT_EQ(viewOf(QStringLiteral("settings")), view);

    manager_->open(QStringLiteral("remembered-devices"));
    EXPECT_EQ(manager_->openIdentifiers(), (QStringList{"settings", "remembered-devices"}));
    EXPECT_NE(manager_->window(QStringLiteral("remembered-devices")), settings);
}

TEST_F(CardWindowManagerTest, UnknownEmptyAndViewlessIdentifiersOpenNothing) {
    for (const QString& identifier : {QString(), QStringLiteral("Settings"),
                                      QStringLiteral("about"), QStringLiteral("settings ")}) {
        manager_->open(identifier);
    }
    manager_->setView(QStringLiteral("welcome"), nullptr);
    manager_->open(QStringLiteral("welcome"));
    manager_->open(QStringLiteral("welcome"));
    // A view that is not an item cannot be a card.
    QQmlComponent notAnItem(&engine_);
    notAnItem.setData("import QtQml\nQtObject {}", QUrl(QStringLiteral("qrc:/not-an-item.qml")));
    manager_->setView(QStringLiteral("settings"), &notAnItem);
    manager_->open(QStringLiteral("settings"));
    EXPECT_TRUE(manager_->openIdentifiers().isEmpty());
}

TEST_F(CardWindowManagerTest, AWindowIsAFramelessTransparentCardWithRoomForItsShadow) {
    for (bool compositing : {false, true}) {
        compositing_ = compositing;
        make();
        manager_->open(QStringLiteral("settings"));
        QQuickWindow* window = manager_->window(QStringLiteral("settings"));
        ASSERT_NE(window, nullptr);
        const int margin = CardFrame::margin;
        EXPECT_EQ(window->size(), QSize(300 + 2 * margin, 200 + 2 * margin));
        EXPECT_EQ(viewOf(QStringLiteral("settings"))->position(), QPointF(margin, margin));
        EXPECT_TRUE(window->flags().testFlag(Qt::FramelessWindowHint));
        // A normal window: listed in the taskbar.
        EXPECT_EQ(window->flags() & Qt::WindowType_Mask, Qt::Window);
        EXPECT_EQ(window->color(), QColor(Qt::transparent));
        EXPECT_TRUE(window->isVisible());
        // Without a compositing manager nothing outside the card is left of the window.
        const QRegion mask = window->mask();
        EXPECT_EQ(mask.isEmpty(), compositing);
        if (!compositing) {
            EXPECT_TRUE(mask.contains(QPoint(margin + 150, margin + 100)));
            EXPECT_FALSE(mask.contains(QPoint(margin / 2, margin / 2)));
            EXPECT_FALSE(mask.contains(QPoint(margin + 1, margin + 1)));  // a rounded corner
        }
        manager_->close(QStringLiteral("settings"));
        settle();
    }
}

TEST_F(CardWindowManagerTest, EveryOpenAfterACloseBuildsAFreshView) {
    manager_->open(QStringLiteral("settings"));
    viewOf(QStringLiteral("settings"))->setProperty("touched", true);
    ASSERT_EQ(viewOf(QStringLiteral("settings"))->property("session").value<QObject*>(), &session_);
    manager_->close(QStringLiteral("settings"));
    settle();
    EXPECT_EQ(manager_->window(QStringLiteral("settings")), nullptr);
    manager_->open(QStringLiteral("settings"));
    ASSERT_NE(viewOf(QStringLiteral("settings")), nullptr);
    EXPECT_FALSE(viewOf(QStringLiteral("settings"))->property("touched").isValid());
}

TEST_F(CardWindowManagerTest, ThePenTestsSideEffectsFollowItsWindowOnEveryClosePath) {
    using Close = std::function<void(CardWindowManager&, QQuickWindow*, QQuickItem*)>;
    const std::pair<const char*, Close> paths[] = {
        {"its view's close action",
         [](CardWindowManager&, QQuickWindow*, QQuickItem* view) {
             QObject* actions = view->property("actions").value<QObject*>();
             ASSERT_NE(actions, nullptr);
             QMetaObject::invokeMethod(actions, "close");
         }},
        {"the window manager",
         [](CardWindowManager&, QQuickWindow* window, QQuickItem*) {
             QCloseEvent event;
             QCoreApplication::sendEvent(window, &event);
         }},
        {"close()", [](CardWindowManager& manager, QQuickWindow*,
                       QQuickItem*) { manager.close(QStringLiteral("pencil-test")); }},
    };
    for (const auto& [name, close] : paths) {
        SCOPED_TRACE(name);
        session_.clearCalls();
        const QStringList inputBefore = session_.fakeInput()->calls();
        manager_->open(QStringLiteral("pencil-test"));
        EXPECT_TRUE(session_.pencilTestActive());
        EXPECT_EQ(session_.fakeInput()->calls().mid(inputBefore.size()),
                  QStringList{"setRecording:true"});
        EXPECT_EQ(session_.calls(), (QStringList{"setPencilTestActive:true", "updateInputState"}));

        QSignalSpy closed(manager_.get(), &CardWindowManager::closed);
        close(*manager_, manager_->window(QStringLiteral("pencil-test")),
              viewOf(QStringLiteral("pencil-test")));
        settle();
        EXPECT_EQ(closed.size(), 1);
        EXPECT_FALSE(session_.pencilTestActive());
        EXPECT_EQ(session_.fakeInput()->calls().mid(inputBefore.size()),
                  (QStringList{"setRecording:true", "setRecording:false"}));
        EXPECT_EQ(session_.calls(), (QStringList{"setPencilTestActive:true", "updateInputState",
                                                 "setPencilTestActive:false", "updateInputState"}));
        EXPECT_EQ(manager_->window(QStringLiteral("pencil-test")), nullptr);
    }
}

TEST_F(CardWindowManagerTest, OtherCardsLeaveDesktopInputAlone) {
    manager_->open(QStringLiteral("settings"));
    manager_->close(QStringLiteral("settings"));
    settle();
    EXPECT_TRUE(session_.calls().isEmpty());
    EXPECT_TRUE(session_.fakeInput()->calls().isEmpty());
}

TEST_F(CardWindowManagerTest, RaiseVisibleFrontsTheLatestOpenCard) {
    EXPECT_FALSE(manager_->raiseVisible());
    manager_->open(QStringLiteral("settings"));
    manager_->open(QStringLiteral("welcome"));
    EXPECT_TRUE(manager_->raiseVisible());
    manager_->window(QStringLiteral("welcome"))->hide();
    manager_->window(QStringLiteral("settings"))->hide();
    EXPECT_FALSE(manager_->raiseVisible());
}

TEST_F(CardWindowManagerTest, FinishingOnboardingHandsOverToThePanel) {
    manager_->open(QStringLiteral("welcome"));
    QObject* actions = viewOf(QStringLiteral("welcome"))->property("actions").value<QObject*>();
    QMetaObject::invokeMethod(actions, "close");
    QMetaObject::invokeMethod(actions, "finish");
    settle();
    EXPECT_EQ(manager_->window(QStringLiteral("welcome")), nullptr);
    EXPECT_EQ(finished_, 1);
}

TEST_F(CardWindowManagerTest, ClosingAfterTheManagerIsGoneDoesNothing) {
    manager_->open(QStringLiteral("pencil-test"));
    QPointer<QObject> actions =
        viewOf(QStringLiteral("pencil-test"))->property("actions").value<QObject*>();
    manager_.reset();
    settle();
    EXPECT_FALSE(session_.pencilTestActive());
    EXPECT_TRUE(actions.isNull());
}

}  // namespace
}  // namespace quillory
