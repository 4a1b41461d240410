#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "platform/dispatch/timer.h"

namespace quillory {

// Grants desktop control access the one way that brings pressure and tilt: the udev rule for
// /dev/uinput, installed as root by the grant script through pkexec. Runs the command without
// waiting on the main thread; one grant at a time, so never two password prompts.
class DesktopControlGrant : public QObject {
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(Outcome outcome READ outcome NOTIFY stateChanged)
    // Why the grant could not start; empty otherwise.
    Q_PROPERTY(QString reason READ reason NOTIFY stateChanged)
    Q_PROPERTY(QStringList manualCommands READ manualCommands CONSTANT)

  public:
    enum class State { idle, running, ended, unableToStart };
    Q_ENUM(State)
    enum class Outcome {
        none,
        granted,                 // the script succeeded and access followed
        installedWithoutAccess,  // the rule is in place, yet access did not follow (not the
                                 // seat's active login, or no uinput in this kernel)
        dismissed,               // the password prompt was dismissed
        failed,                  // not authorised, no prompt available, or the script failed
    };
    Q_ENUM(Outcome)

    static constexpr int dismissedExit = 126;
    static constexpr int notAuthorisedExit = 127;
    // How long access may take to follow a successful script (udev applies the ACL itself).
    static constexpr double accessWait = 2.0;
    static constexpr double accessPoll = 0.1;
    static constexpr const char* privacyAnchor = "Privacy_Accessibility";

    struct Environment {
        // The privileged launcher and its leading arguments; the script's path follows.
        QStringList command{QStringLiteral("pkexec")};
        std::filesystem::path script;
        // Nothing when the script may run as root, else why not.
        std::function<std::optional<QString>(const std::filesystem::path&)> checkScript;
        std::function<bool()> accessGranted;

        // pkexec, the installed script beside this program, the root-ownership check.
        static Environment system(std::function<bool()> accessGranted);
    };

    explicit DesktopControlGrant(Environment environment, QObject* parent = nullptr);
    ~DesktopControlGrant() override;

    // Starts the grant unless one runs; returns at once.
    Q_INVOKABLE void start();
    State state() const { return state_; }
    Outcome outcome() const { return outcome_; }
    QString reason() const { return reason_; }
    // The grant's steps as shell commands, for doing it by hand.
    static QStringList manualCommands();

    // Root may run the file only when root owns it and every folder above it, and nobody else
    // can write to any of them.
    static std::optional<QString> checkRootOwned(const std::filesystem::path& script);
    // The installed grant script relative to this program's folder.
    static std::filesystem::path installedScript();

  signals:
    void stateChanged();

  private:
    void finish(Outcome outcome);
    void unable(const QString& reason);
    void exited(int code, QProcess::ExitStatus status);
    void waitForAccess(int pollsLeft);

    Environment environment_;
    std::unique_ptr<QProcess> process_;
    Timer accessTimer_;  // destroying it cancels the poll
    State state_ = State::idle;
    Outcome outcome_ = Outcome::none;
    QString reason_;
};

// The privacy pane of a permission: "Privacy_Accessibility" starts the grant; any other anchor
// has no counterpart on Linux and does nothing.
void openPrivacySettings(const QString& anchor, DesktopControlGrant& grant);

}  // namespace quillory
