#include "app/shell/logind_events.h"

#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

#include "platform/log/logger.h"

namespace quillory {
namespace {

const char* const service = "org.freedesktop.login1";
const char* const managerPath = "/org/freedesktop/login1";
const char* const managerInterface = "org.freedesktop.login1.Manager";
const char* const sessionInterface = "org.freedesktop.login1.Session";
const char* const propertiesInterface = "org.freedesktop.DBus.Properties";
// logind answers at once; a stuck bus must not hold the UI for long.
constexpr int callTimeoutMs = 500;

const Logger& logindLog() {
    static const Logger logger("app.quillory.session", "logind");
    return logger;
}

}  // namespace

std::shared_ptr<LogindEvents> LogindEvents::system() {
    std::optional<QString> sessionID;
    if (const char* id = std::getenv("XDG_SESSION_ID"); id && *id) {
        sessionID = QString::fromUtf8(id);
    }
    return std::make_shared<LogindEvents>(QDBusConnection::systemBus(), sessionID);
}

LogindEvents::LogindEvents(QDBusConnection bus, std::optional<QString> sessionID)
    : bus_(std::move(bus)) {
    if (!bus_.isConnected() || !bus_.interface() ||
        !bus_.interface()->isServiceRegistered(QString::fromLatin1(service))) {
        logindLog().info(
            "logind is not on the system bus: sleep and session switches are not "
            "followed");
        return;
    }
    available_ = true;
    bus_.connect(service, managerPath, managerInterface, "PrepareForSleep", this,
                 SLOT(prepareForSleep(bool)));
    bus_.connect(service, managerPath, managerInterface, "PrepareForShutdown", this,
                 SLOT(prepareForShutdown(bool)));
    takeInhibitor();
    sessionPath_ = findSession(sessionID);
    if (!sessionPath_.isEmpty()) {
        bus_.connect(service, sessionPath_, propertiesInterface, "PropertiesChanged", this,
                     SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        active_ = readActive();
    }
}

void LogindEvents::takeInhibitor() {
    auto call = QDBusMessage::createMethodCall(service, managerPath, managerInterface, "Inhibit");
    call << QStringLiteral("sleep") << QStringLiteral("Quillory")
         << QStringLiteral("Closing the tablet link") << QStringLiteral("delay");
    const QDBusReply<QDBusUnixFileDescriptor> reply = bus_.call(call, QDBus::Block, callTimeoutMs);
    if (!reply.isValid()) {
        logindLog().error("No sleep inhibitor: %s", qPrintable(reply.error().message()));
        return;
    }
    inhibitor_ = reply.value();
}

QString LogindEvents::findSession(const std::optional<QString>& sessionID) {
    QDBusMessage call;
    if (sessionID) {
        call = QDBusMessage::createMethodCall(service, managerPath, managerInterface, "GetSession");
        call << *sessionID;
    } else {
        call = QDBusMessage::createMethodCall(service, managerPath, managerInterface,
                                              "GetSessionByPID");
        call << static_cast<quint32>(::getpid());
    }
    const QDBusReply<QDBusObjectPath> reply = bus_.call(call, QDBus::Block, callTimeoutMs);
    if (!reply.isValid()) {
        logindLog().info("No login session to follow: %s", qPrintable(reply.error().message()));
        return {};
    }
    return reply.value().path();
}

std::optional<bool> LogindEvents::readActive() {
    auto call = QDBusMessage::createMethodCall(service, sessionPath_, propertiesInterface, "Get");
    call << QString::fromLatin1(sessionInterface) << QStringLiteral("Active");
    const QDBusReply<QDBusVariant> reply = bus_.call(call, QDBus::Block, callTimeoutMs);
    if (!reply.isValid()) {
        return std::nullopt;
    }
    return reply.value().variant().toBool();
}

void LogindEvents::prepareForSleep(bool sleeping) {
    if (sleeping) {
        if (onSleep) {
            onSleep(true);
        }
        // The link is closed: let the computer sleep.
        inhibitor_ = QDBusUnixFileDescriptor();
    } else {
        takeInhibitor();
        if (onSleep) {
            onSleep(false);
        }
    }
}

void LogindEvents::prepareForShutdown(bool shuttingDown) {
    if (shuttingDown && onShutdown) {
        onShutdown();
    }
}

void LogindEvents::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                     const QStringList& invalidated) {
    if (interface != QLatin1String(sessionInterface)) {
        return;
    }
    std::optional<bool> active;
    if (auto it = changed.find(QStringLiteral("Active")); it != changed.end()) {
        active = it->toBool();
    } else if (invalidated.contains(QStringLiteral("Active"))) {
        active = readActive();
    }
    if (!active || active == active_) {
        return;
    }
    active_ = active;
    if (onSessionActive) {
        onSessionActive(*active);
    }
}

}  // namespace quillory
