#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>

#include "app/session/session_sources.h"

namespace quillory {

// Sleep, shutdown and the login session's Active property from systemd-logind. While awake it
// holds a "delay" sleep inhibitor, so the link is closed before the computer sleeps: the
// inhibitor is released only after onSleep(true) returned, and taken again before onSleep(false)
// runs. Without logind on the bus nothing is ever reported. Main thread.
class LogindEvents final : public QObject, public LoginEvents {
    Q_OBJECT

  public:
    // `sessionID` names this process's login session; without one it is looked up by process.
    LogindEvents(QDBusConnection bus, std::optional<QString> sessionID);
    // The system bus and $XDG_SESSION_ID.
    static std::shared_ptr<LogindEvents> system();

    std::optional<bool> sessionActive() const override { return active_; }
    bool available() const { return available_; }
    bool holdsInhibitor() const { return inhibitor_.isValid(); }

  private slots:
    void prepareForSleep(bool sleeping);
    void prepareForShutdown(bool shuttingDown);
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated);

  private:
    void takeInhibitor();
    QString findSession(const std::optional<QString>& sessionID);
    std::optional<bool> readActive();

    QDBusConnection bus_;
    QString sessionPath_;
    QDBusUnixFileDescriptor inhibitor_;
    std::optional<bool> active_;
    bool available_ = false;
};

}  // namespace quillory
