#include "app/interface/status_item_builder.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QQmlComponent>
#include <QQmlEngine>

#include "app/interface/testing/fake_tray_backend.h"
#include "app/session/testing/fake_session.h"

namespace quillory {
namespace {

QAction* actionNamed(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

// The item's menu, its "Quit" and the panel's quit all reach the one quit hook; the menu goes with
// release().
TEST(StatusItemBuilderTest, TheMenuAndThePanelQuitThroughOneHook) {
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent content(&engine);
    content.setData("import QtQuick\nItem { implicitHeight: 100 }", QUrl());
    FakeSession session;
    FakeTrayBackend* tray = nullptr;
    int quits = 0;
    QStringList opened;
    StatusItemBuilder builder({
        .engine = &engine,
        .content = &content,
        .quit = [&] { ++quits; },
        .makeTray =
            [&] {
                auto made = std::make_unique<FakeTrayBackend>();
                tray = made.get();
                return made;
            },
    });
    auto item = builder.make(session, [&](const QString& id) { opened.append(id); });
    ASSERT_NE(tray, nullptr);
    QMenu* menu = tray->contextMenu();
    ASSERT_NE(menu, nullptr);

    QAction* quit = actionNamed(menu, QStringLiteral("Quit Quillory"));
    ASSERT_NE(quit, nullptr);
    quit->trigger();
    EXPECT_EQ(quits, 1);
    item->requestQuit();
    EXPECT_EQ(quits, 2);

    QAction* settings = actionNamed(menu, QStringLiteral("Settings"));
    ASSERT_NE(settings, nullptr);
    settings->trigger();
    EXPECT_EQ(opened, QStringList{QStringLiteral("settings")});

    const QPointer<QMenu> watched(menu);
    builder.release();
    EXPECT_TRUE(watched.isNull());
    item->teardown();
}

}  // namespace
}  // namespace quillory
