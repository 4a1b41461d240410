#include "design/portal_appearance_source.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace quillory {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");

const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString interfaceGroup = QStringLiteral("org.gnome.desktop.interface");
const QString a11yGroup = QStringLiteral("org.gnome.desktop.a11y.interface");

// Older portals answer Read with the value wrapped in a second variant.
QVariant unwrapped(QVariant value) {
    while (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    return value;
}

}  // namespace

PortalAppearanceSource::PortalAppearanceSource(QDBusConnection bus, QObject* parent)
    : AppearanceSource(parent), bus_(std::move(bus)) {
    if (!bus_.isConnected()) {
        return;
    }
    bus_.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"),
                 this, SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    read(appearanceGroup, QStringLiteral("color-scheme"));
    read(appearanceGroup, QStringLiteral("contrast"));
    read(interfaceGroup, QStringLiteral("enable-animations"));
    read(interfaceGroup, QStringLiteral("text-scaling-factor"));
    read(a11yGroup, QStringLiteral("high-contrast"));
}

void PortalAppearanceSource::read(const QString& group, const QString& key) {
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface,
                                                       QStringLiteral("Read"));
    call << group << key;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, group, key](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *finished;
                if (reply.isError()) {
                    return;  // No portal, or a key this desktop does not have.
                }
                if (apply(group, key, QVariant::fromValue(reply.value()))) {
                    emit changed();
                }
            });
}

void PortalAppearanceSource::onSettingChanged(const QString& group, const QString& key,
                                              const QDBusVariant& value) {
    if (apply(group, key, QVariant::fromValue(value))) {
        emit changed();
    }
}

bool PortalAppearanceSource::apply(const QString& group, const QString& key,
                                   const QVariant& value) {
    const QVariant plain = unwrapped(value);
    if (group == appearanceGroup && key == QLatin1String("color-scheme")) {
        // 0 no preference, 1 prefer dark, 2 prefer light.
        const uint scheme = plain.toUInt();
        settings_.dark = scheme == 0 ? std::nullopt : std::optional<bool>(scheme == 1);
        return true;
    }
    if (group == appearanceGroup && key == QLatin1String("contrast")) {
        // 0 no preference, 1 higher contrast.
        portalHighContrast_ = plain.toUInt() == 1;
        settings_.highContrast = *portalHighContrast_ || gnomeHighContrast_.value_or(false);
        return true;
    }
    if (group == a11yGroup && key == QLatin1String("high-contrast")) {
        gnomeHighContrast_ = plain.toBool();
        settings_.highContrast = *gnomeHighContrast_ || portalHighContrast_.value_or(false);
        return true;
    }
    if (group == interfaceGroup && key == QLatin1String("text-scaling-factor")) {
        // GNOME's "Large Text" setting; a value outside what any desktop offers is ignored.
        const double scale = plain.toDouble();
        settings_.textScale = scale >= 0.5 && scale <= 4.0 ? std::optional(scale) : std::nullopt;
        return true;
    }
    if (group == interfaceGroup && key == QLatin1String("enable-animations")) {
        settings_.reduceMotion = !plain.toBool();
        return true;
    }
    return false;
}

}  // namespace quillory
