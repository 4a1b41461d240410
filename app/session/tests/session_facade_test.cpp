#include "app/session/session_facade.h"

#include <gtest/gtest.h>

#include <QMetaProperty>
#include <QSignalSpy>

#include "app/session/testing/fake_session.h"

namespace quillory {
namespace {

std::unique_ptr<QSignalSpy> spyOn(QObject* object, const char* property) {
    const QMetaObject* meta = object->metaObject();
    const QMetaProperty p = meta->property(meta->indexOfProperty(property));
    return std::make_unique<QSignalSpy>(object, p.notifySignal());
}

TEST(SessionFacade, EachPropertyAnnouncesAChangeOnceAndNeverARepeat) {
    FakeSession session;
    const QVariantList devices{QVariantMap{{"id", "ab12"}, {"name", "Studio pad"}}};
    const std::pair<const char*, QVariant> cases[] = {
        {"connectionState", QStringLiteral("pairing")},
        {"connected", true},
        {"listening", true},
        {"recovering", true},
        {"status", QStringLiteral("Connected securely")},
        {"pairingCode", QStringLiteral("123456")},
        {"pairingApproved", true},
        {"peerApproved", true},
        {"peerName", QStringLiteral("Ada's tablet")},
        {"latency", 12.5},
        {"savedDevices", devices},
        {"activePeer", QStringLiteral("ab12")},
        {"pencilTestActive", true},
        {"failureMessage", QStringLiteral("The apps couldn’t verify this connection.")},
        {"canApprove", true},
    };
    for (const auto& [name, value] : cases) {
        auto spy = spyOn(&session, name);
        ASSERT_TRUE(spy->isValid()) << name;
        session.set({{QString::fromLatin1(name), value}});
        session.set({{QString::fromLatin1(name), value}});
        EXPECT_EQ(spy->count(), 1) << name;
    }
    EXPECT_EQ(session.latency().statusText(),
              QString::fromStdString(LinkLatency::measured(12.5).statusText()));
    EXPECT_EQ(session.savedDevices()->rowCount(), 1);
}

TEST(SessionFacade, ChildrenAreConstantAndOwnedBySession) {
    auto* session = new FakeSession;
    QPointer<QObject> input = session->input();
    QPointer<QObject> studio = session->studio();
    QPointer<QObject> shell = session->shell();
    for (const char* name : {"input", "studio", "shell"}) {
        const QMetaObject* meta = session->metaObject();
        EXPECT_TRUE(meta->property(meta->indexOfProperty(name)).isConstant()) << name;
    }
    delete session;
    EXPECT_TRUE(input.isNull());
    EXPECT_TRUE(studio.isNull());
    EXPECT_TRUE(shell.isNull());
}

TEST(SavedDeviceModel, ResetsOnlyWhenTheListChanges) {
    SavedDeviceModel model;
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    const QList<SavedDevice> two{{"a1", "Alpha"}, {"b2", "Beta"}};
    EXPECT_TRUE(model.setDevices(two));
    EXPECT_FALSE(model.setDevices(two));
    EXPECT_TRUE(model.setDevices({{"a1", "Alpha renamed"}, {"b2", "Beta"}}));
    EXPECT_EQ(resets.count(), 2);
    const QHash<int, QByteArray> roles = model.roleNames();
    const QModelIndex first = model.index(0);
    EXPECT_EQ(model.data(first, roles.key("id")).toString(), "a1");
    EXPECT_EQ(model.data(first, roles.key("name")).toString(), "Alpha renamed");
    EXPECT_FALSE(model.data(model.index(5), roles.key("id")).isValid());
}

TEST(FakeSession, ForgetAnswersAsChosenAndKeepsTheListOnRefusal) {
    FakeSession session;
    session.publishSavedDevices({{"a1", "Alpha"}, {"b2", "Beta"}});
    session.answerForget(false);
    EXPECT_FALSE(session.forget("a1"));
    EXPECT_EQ(session.savedDevices()->rowCount(), 2);
    session.answerForget(true);
    EXPECT_TRUE(session.forget("a1"));
    EXPECT_EQ(session.savedDevices()->devices(), (QList<SavedDevice>{{"b2", "Beta"}}));
    EXPECT_EQ(session.calls(), (QStringList{"forget:a1", "forget:a1"}));
}

}  // namespace
}  // namespace quillory
