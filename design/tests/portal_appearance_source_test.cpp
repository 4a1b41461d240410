#include "design/portal_appearance_source.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>

namespace quillory {
namespace {

// The desktop portal's settings interface as an older portal serves it: Read answers with the
// value wrapped in a second variant.
class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

  public:
    QMap<QString, QVariant> values;

  public slots:
    QDBusVariant Read(const QString& group, const QString& key) {
        const QString name = group + QLatin1Char(' ') + key;
        if (!values.contains(name)) {
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), name);
            return {};
        }
        return QDBusVariant(QVariant::fromValue(QDBusVariant(values.value(name))));
    }

  signals:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

// A private session bus for the test alone.
class PrivateBus {
  public:
    PrivateBus() {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
        if (daemon.waitForStarted() && daemon.waitForReadyRead(10000)) {
            address = QString::fromUtf8(daemon.readLine().trimmed());
        }
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal-server"));
        QDBusConnection::disconnectFromBus(QStringLiteral("portal-client"));
        daemon.terminate();
        daemon.waitForFinished();
    }
    QDBusConnection connect(const QString& name) const {
        return QDBusConnection::connectToBus(address, name);
    }

    QProcess daemon;
    QString address;
};

TEST(PortalAppearanceSource, FollowsAPortalOnTheBus) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    QDBusConnection server = bus.connect(QStringLiteral("portal-server"));
    ASSERT_TRUE(server.isConnected());

    FakePortal portal;
    portal.values.insert(QStringLiteral("org.freedesktop.appearance color-scheme"), 1u);
    portal.values.insert(QStringLiteral("org.gnome.desktop.interface enable-animations"), true);
    ASSERT_TRUE(
        server.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    PortalAppearanceSource source(bus.connect(QStringLiteral("portal-client")));
    QSignalSpy changed(&source, &AppearanceSource::changed);
    // Two keys are answered; the others are missing on this desktop and stay unknown.
    while (changed.count() < 2) {
        ASSERT_TRUE(changed.wait(10000));
    }
    EXPECT_EQ(source.settings().dark, true);
    EXPECT_EQ(source.settings().reduceMotion, false);
    EXPECT_EQ(source.settings().highContrast, std::nullopt);

    emit portal.SettingChanged(QStringLiteral("org.gnome.desktop.interface"),
                               QStringLiteral("enable-animations"), QDBusVariant(false));
    ASSERT_TRUE(changed.wait(10000));
    EXPECT_EQ(source.settings().reduceMotion, true);
}

}  // namespace
}  // namespace quillory

#include "portal_appearance_source_test.moc"
