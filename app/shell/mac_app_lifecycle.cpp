#include "app/shell/mac_app_lifecycle.h"

#include <QTimer>
#include <csignal>

#include "platform/defaults/user_defaults.h"
#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& logger() {
    static const Logger instance("app.quillory", "lifecycle");
    return instance;
}

}  // namespace

MacAppLifecycle::MacAppLifecycle(Environment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {}

MacAppLifecycle::~MacAppLifecycle() {
    // The windows and the panel go before the session they show.
    cardWindows_.reset();
    statusItem_.reset();
}

void MacAppLifecycle::launch() {
    if (launched_) {
        return;
    }
    launched_ = true;
    const QPointer<MacAppLifecycle> self(this);
    // The launch-time screen sharing flag is read here, so that it records the launch.
    (void)session().shell()->screenCaptureAllowedAtLaunch();
    cardWindows_ = environment_.makeCardWindows(session(), [self] {
        if (self && self->statusItem_) {
            self->statusItem_->showPanelForUser();
        }
    });
    statusItem_ = environment_.makeStatusItem(session(), [self](const QString& identifier) {
        if (self) {
            self->open(identifier);
        }
    });
    session().start();
    if (environment_.startUpdater) {
        environment_.startUpdater();
    }
    const bool onboarded = environment_.defaults &&
                           environment_.defaults->boolValue(onboardingCompletedKey).value_or(false);
    if (!onboarded) {
        QTimer::singleShot(0, this, [this] { open(QStringLiteral("welcome")); });
    }
}

void MacAppLifecycle::open(const QString& identifier) {
    if (cardWindows_ && !quitting_) {
        cardWindows_->open(identifier);
    }
}

void MacAppLifecycle::reopen() {
    if (quitting_) {
        return;
    }
    if (cardWindows_ && cardWindows_->raiseVisible()) {
        return;
    }
    if (statusItem_) {
        statusItem_->showPanelForUser();
    }
}

void MacAppLifecycle::quitOnSignal(int signalNumber) {
    quit(signalNumber == SIGINT ? QuitRequest::user : QuitRequest::system);
}

bool MacAppLifecycle::decideExplicit(QuitRequest request) const {
    const auto holds = [](const std::function<bool()>& flag) { return flag && flag(); };
    return request == QuitRequest::user && !holds(environment_.systemShuttingDown) &&
           !holds(environment_.relaunching);
}

void MacAppLifecycle::quit(QuitRequest request) {
    if (quitting_) {
        return;
    }
    quitting_ = true;
    explicitQuit_ = decideExplicit(request);
    logger().info("Quitting (%s)", explicitQuit_ ? "explicit" : "the tablet may reconnect");
    if (statusItem_) {
        statusItem_->teardown();
    }
    if (environment_.stopSession) {
        environment_.stopSession(explicitQuit_);
    }
    if (environment_.endLoop) {
        environment_.endLoop();
    }
}

}  // namespace quillory
