#include "design/portal_appearance_source.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QProcess>
#include <QScopeGuard>
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

TEST(PortalAppearanceSource, ReadsTheDesktopKeysThroughNestedVariants) {
    PortalAppearanceSource portal(QDBusConnection(QStringLiteral("none")));
    const auto nested = [](QVariant value) {
        return QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(value))));
    };
    const QString appearance = QStringLiteral("org.freedesktop.appearance");
    EXPECT_TRUE(portal.apply(appearance, QStringLiteral("color-scheme"), nested(1u)));
    EXPECT_EQ(portal.settings().dark, true);
    EXPECT_TRUE(portal.apply(appearance, QStringLiteral("color-scheme"), 2u));
    EXPECT_EQ(portal.settings().dark, false);
    EXPECT_TRUE(portal.apply(appearance, QStringLiteral("color-scheme"), nested(0u)));
    EXPECT_EQ(portal.settings().dark, std::nullopt);  // No preference: the default decides.

    // Either key may ask for high contrast; clearing one leaves the other's answer.
    const QString a11y = QStringLiteral("org.gnome.desktop.a11y.interface");
    EXPECT_TRUE(portal.apply(a11y, QStringLiteral("high-contrast"), nested(true)));
    EXPECT_TRUE(portal.apply(appearance, QStringLiteral("contrast"), nested(0u)));
    EXPECT_EQ(portal.settings().highContrast, true);
    EXPECT_TRUE(portal.apply(a11y, QStringLiteral("high-contrast"), false));
    EXPECT_EQ(portal.settings().highContrast, false);

    const QString interface = QStringLiteral("org.gnome.desktop.interface");
    EXPECT_TRUE(portal.apply(interface, QStringLiteral("text-scaling-factor"), nested(1.25)));
    EXPECT_EQ(portal.settings().textScale, 1.25);
    EXPECT_TRUE(portal.apply(interface, QStringLiteral("text-scaling-factor"), nested(0.0)));
    EXPECT_EQ(portal.settings().textScale, std::nullopt);

    EXPECT_FALSE(portal.apply(appearance, QStringLiteral("accent-color"), nested(1u)));
}

// Runs on a private bus of its own, so no desktop portal can answer instead of the fake.
TEST(PortalAppearanceSource, FollowsAPortalOnTheBus) {
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address=1")});
    ASSERT_TRUE(daemon.waitForStarted() && daemon.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(daemon.readLine().trimmed());
    const auto stop = qScopeGuard([&] {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal-server"));
        QDBusConnection::disconnectFromBus(QStringLiteral("portal-client"));
        daemon.terminate();
        daemon.waitForFinished();
    });
    QDBusConnection server =
        QDBusConnection::connectToBus(address, QStringLiteral("portal-server"));
    ASSERT_TRUE(server.isConnected());

    FakePortal portal;
    portal.values.insert(QStringLiteral("org.freedesktop.appearance color-scheme"), 1u);
    portal.values.insert(QStringLiteral("org.gnome.desktop.interface enable-animations"), true);
    ASSERT_TRUE(
        server.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    PortalAppearanceSource source(
        QDBusConnection::connectToBus(address, QStringLiteral("portal-client")));
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
