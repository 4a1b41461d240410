#include "app/session/computer_name.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <array>

#include "protocol/text_rules.h"

namespace quillory {

namespace {

constexpr std::size_t nameLimit = 128;

QString cleaned(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    return QString::fromStdString(
               cleanedText(
                   std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                   nameLimit))
        .trimmed();
}

std::optional<QString> prettyHostname() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return std::nullopt;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.hostname1"), QStringLiteral("/org/freedesktop/hostname1"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QStringLiteral("org.freedesktop.hostname1") << QStringLiteral("PrettyHostname");
    const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    return reply.arguments().first().value<QDBusVariant>().variant().toString();
}

std::optional<QString> hostName() {
    std::array<char, 256> buffer{};
    if (gethostname(buffer.data(), buffer.size() - 1) != 0) {
        return std::nullopt;
    }
    return QString::fromLocal8Bit(buffer.data());
}

}  // namespace

QString chooseComputerName(const std::optional<QString>& prettyHostname,
                           const std::optional<QString>& hostName) {
    if (prettyHostname) {
        if (QString name = cleaned(*prettyHostname); !name.isEmpty()) {
            return name;
        }
    }
    return hostName ? cleaned(*hostName) : QString();
}

QString computerName() {
    return chooseComputerName(prettyHostname(), hostName());
}

QString hostComputerName() {
    return chooseComputerName(std::nullopt, hostName());
}

}  // namespace quillory
