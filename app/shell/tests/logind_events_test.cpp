#include "app/shell/logind_events.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusVariant>
#include <QProcess>
#include <QTest>

namespace quillory {
namespace {

// A private bus with python-dbusmock's logind on it, standing in for the system bus.
class LogindTest : public ::testing::Test {
  protected:
    void SetUp() override {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(daemon.waitForReadyRead(10000));
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("logind-test")));
        ASSERT_TRUE(bus->isConnected());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("logind-test"));
        for (QProcess* process : {&mock, &daemon}) {
            process->terminate();
            process->waitForFinished(5000);
        }
    }
    void startLogind() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", address);
        mock.setProcessEnvironment(environment);
        mock.start("/usr/bin/python3", {"-m", "dbusmock", "--template", "logind", "--system"});
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return bus->interface()->isServiceRegistered("org.freedesktop.login1"); },
            10000));
        mockCall("/org/freedesktop/login1", "org.freedesktop.DBus.Mock", "AddSession",
                 {"c1", "seat0", 1000u, "user", true});
    }
    void mockCall(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments) {
        auto call =
            QDBusMessage::createMethodCall("org.freedesktop.login1", path, interface, method);
        call.setArguments(arguments);
        const QDBusMessage reply = bus->call(call);
        ASSERT_NE(reply.type(), QDBusMessage::ErrorMessage) << reply.errorMessage().toStdString();
    }
    void emitManager(const QString& signal, bool value) {
        mockCall("/org/freedesktop/login1", "org.freedesktop.DBus.Mock", "EmitSignal",
                 {"org.freedesktop.login1.Manager", signal, "b",
                  QVariant::fromValue(QVariantList{value})});
    }
    int inhibitors() {
        auto call =
            QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                           "org.freedesktop.login1.Manager", "ListInhibitors");
        const QDBusMessage reply = bus->call(call);
        if (reply.type() == QDBusMessage::ErrorMessage || reply.arguments().isEmpty()) {
            return -1;
        }
        const QDBusArgument list = reply.arguments()[0].value<QDBusArgument>();
        int count = 0;
        list.beginArray();
        while (!list.atEnd()) {
            list.beginStructure();
            QString what, who, why, mode;
            quint32 uid = 0, pid = 0;
            list >> what >> who >> why >> mode >> uid >> pid;
            list.endStructure();
            ++count;
        }
        list.endArray();
        return count;
    }

    QProcess daemon;
    QProcess mock;
    QString address;
    std::unique_ptr<QDBusConnection> bus;
};

TEST_F(LogindTest, SleepReleasesTheInhibitorOnlyAfterTheSessionSuspended) {
    startLogind();
    LogindEvents events(*bus, QStringLiteral("c1"));
    ASSERT_TRUE(events.available());
    EXPECT_EQ(events.sessionActive(), true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return inhibitors() == 1; }, 5000));
    std::vector<std::pair<bool, bool>> seen;  // (sleeping, inhibitor held meanwhile)
    events.onSleep = [&](bool sleeping) { seen.emplace_back(sleeping, events.holdsInhibitor()); };

    emitManager("PrepareForSleep", true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() == 1; }, 5000));
    EXPECT_EQ(seen[0], std::make_pair(true, true));
    EXPECT_FALSE(events.holdsInhibitor());
    EXPECT_TRUE(QTest::qWaitFor([&] { return inhibitors() == 0; }, 5000));

    emitManager("PrepareForSleep", false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() == 2; }, 5000));
    EXPECT_EQ(seen[1], std::make_pair(false, true));
    EXPECT_TRUE(QTest::qWaitFor([&] { return inhibitors() == 1; }, 5000));
}

TEST_F(LogindTest, TheLoginSessionsActivityAndShutdownAreReported) {
    startLogind();
    LogindEvents events(*bus, QStringLiteral("c1"));
    std::vector<bool> active;
    int shutdowns = 0;
    events.onSessionActive = [&](bool value) { active.push_back(value); };
    events.onShutdown = [&] { ++shutdowns; };
    const QString session = "/org/freedesktop/login1/session/c1";
    for (bool value : {false, true}) {
        mockCall(
            session, "org.freedesktop.DBus.Properties", "Set",
            {"org.freedesktop.login1.Session", "Active", QVariant::fromValue(QDBusVariant(value))});
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return active.size() == 2; }, 5000));
    EXPECT_EQ(active, (std::vector<bool>{false, true}));
    emitManager("PrepareForShutdown", true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shutdowns == 1; }, 5000));
}

TEST_F(LogindTest, WithoutLogindNothingHappens) {
    LogindEvents events(*bus, QStringLiteral("c1"));
    EXPECT_FALSE(events.available());
    EXPECT_FALSE(events.sessionActive());
    EXPECT_FALSE(events.holdsInhibitor());
}

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
