#include "app/permissions/desktop_control_grant.h"

#include <sys/stat.h>

#include <QStandardPaths>

#include "app/permissions/uinput_rule.h"
#include "platform/dispatch/main_queue.h"
#include "platform/log/logger.h"
#include "platform/process/executable_path.h"

namespace quillory {

namespace {

const Logger& logger() {
    static const Logger instance("app.quillory", "permissions");
    return instance;
}

constexpr const char* ruleTarget = "/etc/udev/rules.d/70-quillory-uinput.rules";

}  // namespace

DesktopControlGrant::Environment DesktopControlGrant::Environment::system(
    std::function<bool()> accessGranted) {
    Environment environment;
    environment.script = installedScript();
    environment.checkScript = &DesktopControlGrant::checkRootOwned;
    environment.accessGranted = std::move(accessGranted);
    return environment;
}

DesktopControlGrant::DesktopControlGrant(Environment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {}

DesktopControlGrant::~DesktopControlGrant() {
    if (process_) {
        // The prompt belongs to a grant nobody waits for any more.
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(1000);
    }
}

std::filesystem::path DesktopControlGrant::installedScript() {
    const auto program = executablePath();
    if (program.empty()) {
        return {};
    }
    return program.parent_path() / QUILLORY_GRANT_SCRIPT_FROM_BINDIR;
}

std::optional<QString> DesktopControlGrant::checkRootOwned(const std::filesystem::path& script) {
    std::error_code error;
    const auto resolved = std::filesystem::canonical(script, error);
    if (error) {
        return QStringLiteral("The grant script %1 is missing.")
            .arg(QString::fromStdString(script.string()));
    }
    for (auto path = resolved;; path = path.parent_path()) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            return QStringLiteral("Cannot inspect %1.").arg(QString::fromStdString(path.string()));
        }
        // A sticky folder of root's (/tmp) lets nobody else replace what root put in it.
        const bool othersWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0 &&
                                 (path == resolved || (info.st_mode & S_ISVTX) == 0);
        if (info.st_uid != 0 || othersWrite) {
            return QStringLiteral("%1 is not owned by root alone; it will not be run as root.")
                .arg(QString::fromStdString(path.string()));
        }
        if (path == path.parent_path()) {
            return std::nullopt;
        }
    }
}

QStringList DesktopControlGrant::manualCommands() {
    QString rule = QString::fromUtf8(uinputRule).trimmed();
    return {
        QStringLiteral("echo '%1' | sudo tee %2").arg(rule, QString::fromUtf8(ruleTarget)),
        QStringLiteral("sudo modprobe uinput"),
        QStringLiteral("sudo udevadm control --reload"),
        QStringLiteral("sudo udevadm trigger --action=change --subsystem-match=misc "
                       "--sysname-match=uinput"),
        QStringLiteral("sudo udevadm settle"),
    };
}

void DesktopControlGrant::start() {
    if (state_ == State::running) {
        return;
    }
    const QString launcher = environment_.command.value(0);
    const QString program = QStandardPaths::findExecutable(launcher);
    if (program.isEmpty()) {
        return unable(QStringLiteral("%1 is not installed.").arg(launcher));
    }
    if (environment_.script.empty()) {
        return unable(QStringLiteral("The grant script was not found beside Quillory."));
    }
    if (environment_.checkScript) {
        if (const auto refusal = environment_.checkScript(environment_.script)) {
            return unable(*refusal);
        }
    }
    process_ = std::make_unique<QProcess>();
    process_->setProgram(program);
    process_->setArguments(environment_.command.mid(1)
                           << QString::fromStdString(environment_.script.string()));
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    process_->setInputChannelMode(QProcess::ForwardedInputChannel);
    connect(process_.get(), &QProcess::finished, this, &DesktopControlGrant::exited);
    connect(process_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            const QString why = process_->errorString();
            process_.release()->deleteLater();
            unable(why);
        }
    });
    reason_.clear();
    outcome_ = Outcome::none;
    state_ = State::running;
    emit stateChanged();
    process_->start();
}

void DesktopControlGrant::exited(int code, QProcess::ExitStatus status) {
    process_.release()->deleteLater();
    if (status != QProcess::NormalExit) {
        logger().error("The grant ended by a signal");
        return finish(Outcome::failed);
    }
    switch (code) {
        case 0:
            return waitForAccess(static_cast<int>(accessWait / accessPoll));
        case dismissedExit:
            return finish(Outcome::dismissed);
        case notAuthorisedExit:
            logger().error("The grant was not authorised, or no password prompt is available");
            return finish(Outcome::failed);
        default:
            logger().error("The grant script failed with exit status %d", code);
            return finish(Outcome::failed);
    }
}

void DesktopControlGrant::waitForAccess(int pollsLeft) {
    if (environment_.accessGranted && environment_.accessGranted()) {
        return finish(Outcome::granted);
    }
    if (pollsLeft <= 0) {
        logger().info("The udev rule is installed, but /dev/uinput stays closed to this user");
        return finish(Outcome::installedWithoutAccess);
    }
    accessTimer_ =
        MainQueue::after(accessPoll, [this, pollsLeft] { waitForAccess(pollsLeft - 1); });
}

void DesktopControlGrant::finish(Outcome outcome) {
    outcome_ = outcome;
    state_ = State::ended;
    emit stateChanged();
}

void DesktopControlGrant::unable(const QString& reason) {
    logger().error("The grant cannot start: %s", reason.toUtf8().constData());
    reason_ = reason;
    outcome_ = Outcome::none;
    state_ = State::unableToStart;
    emit stateChanged();
}

void openPrivacySettings(const QString& anchor, DesktopControlGrant& grant) {
    if (anchor == QLatin1String(DesktopControlGrant::privacyAnchor)) {
        grant.start();
    }
}

}  // namespace quillory
