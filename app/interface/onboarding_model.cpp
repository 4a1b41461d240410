#include "app/interface/onboarding_model.h"

#include <QSystemTrayIcon>
#include <QtConcurrent/QtConcurrentRun>

#include "app/session/computer_name.h"
#include "app/shell/mac_app_lifecycle.h"
#include "platform/defaults/user_defaults.h"

namespace quillory {

namespace {

OnboardingModel::Environment systemEnvironment() {
    OnboardingModel::Environment environment;
    environment.computerName = [] { return quillory::computerName(); };
    environment.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    return environment;
}

}  // namespace

OnboardingModel::OnboardingModel(QObject* parent) : OnboardingModel(systemEnvironment(), parent) {}

OnboardingModel::OnboardingModel(Environment environment, QObject* parent)
    : QObject(parent),
      environment_(std::move(environment)),
      permissions_(environment_.probes.accessibility
                       ? new PermissionRowsModel(environment_.probes, this)
                       : new PermissionRowsModel(this)) {
    permissions_->setPollInterval(pollIntervalMs);
    connect(permissions_, &PermissionRowsModel::accessibilityChanged, this,
            &OnboardingModel::accessibilityChanged);
    connect(permissions_, &PermissionRowsModel::accessibilityChanged, this,
            &OnboardingModel::textsChanged);
    connect(permissions_, &PermissionRowsModel::screenRecordingChanged, this,
            &OnboardingModel::screenRecordingChanged);
    // A tray that starts after us turns the fallback window's words into the tray's. Asked
    // only while the first step, the one that speaks of it, is shown: the question may go to
    // the session bus.
    connect(&permissions_->pollTimer(), &QTimer::timeout, this, [this] {
        if (step_ == Step::welcome) {
            readTray();
        }
    });
    readTray();
    lookUpComputerName();
}

OnboardingModel::~OnboardingModel() = default;

void OnboardingModel::setEnvironment(Environment environment) {
    environment_ = std::move(environment);
    if (environment_.probes.accessibility) {
        permissions_->setProbes(environment_.probes);
    }
    nameLookup_.reset();
    readTray();
    lookUpComputerName();
}

void OnboardingModel::refresh() {
    permissions_->refresh();
    if (step_ == Step::welcome) {
        readTray();
    }
}

void OnboardingModel::readTray() {
    const bool tray = !environment_.trayAvailable || environment_.trayAvailable();
    if (tray != tray_) {
        tray_ = tray;
        emit textsChanged();
    }
}

void OnboardingModel::setSession(SessionFacade* session) {
    if (session == session_) {
        return;
    }
    for (const auto& connection : sessionConnections_) {
        disconnect(connection);
    }
    sessionConnections_.clear();
    session_ = session;
    permissions_->setSession(session);
    if (session_) {
        sessionConnections_ << connect(session_, &SessionFacade::connectedChanged, this,
                                       &OnboardingModel::textsChanged);
        sessionConnections_ << connect(session_, &SessionFacade::peerNameChanged, this,
                                       &OnboardingModel::textsChanged);
    }
    emit sessionChanged();
    emit textsChanged();
}

void OnboardingModel::setShown(bool shown) {
    if (shown != permissions_->active()) {
        permissions_->setActive(shown);
        emit shownChanged();
    }
}

void OnboardingModel::setOpenAtLogin(bool on) {
    if (on != openAtLogin_) {
        openAtLogin_ = on;
        emit openAtLoginChanged();
    }
}

void OnboardingModel::setComputerName(const QString& name) {
    if (name != computerName_) {
        computerName_ = name;
        emit textsChanged();
    }
}

QString OnboardingModel::primaryTitle() const {
    switch (step_) {
        case Step::welcome:
            return tr("Get started");
        case Step::permissions:
            return accessibility() ? tr("Continue") : tr("Later");
        case Step::connect:
            return connected() ? tr("Start drawing") : tr("Done");
    }
    return {};
}

QString OnboardingModel::title() const {
    switch (step_) {
        case Step::welcome:
            // Without a tray the panel is a window of its own in the taskbar.
            return tray_ ? tr("Quillory lives in your system tray")
                         : tr("Quillory lives in its own window");
        case Step::permissions:
            return tr("Let your pen in");
        case Step::connect:
            return connected() ? tr("You’re connected") : tr("Open Quillory on your iPad");
    }
    return {};
}

QString OnboardingModel::subtitle() const {
    switch (step_) {
        case Step::welcome:
            return tray_ ? tr("Your iPad becomes a drawing tablet for this computer. Click the "
                              "vorel any time to connect, share your screen or test your pen.")
                         : tr("Your iPad becomes a drawing tablet for this computer. Open "
                              "Quillory any time to connect, share your screen or test your pen.");
        case Step::permissions:
            return tr(
                "Desktop control access lets your Pencil draw in your apps. Screen Recording is "
                "only for Studio. Everything stays on your Wi-Fi.");
        case Step::connect:
            if (connected()) {
                // One substitution, so a "%1" in the tablet's name stays as it is.
                return tr("%1 is ready. Draw, and your strokes land in the app in front.")
                    .arg(session_->peerName());
            }
            return tr("Choose %1, then confirm the same code on both screens.")
                .arg(computerName_.isEmpty() ? QStringLiteral("Mac") : computerName_);
    }
    return {};
}

QString OnboardingModel::artName() const {
    switch (step_) {
        case Step::welcome:
            return QStringLiteral("onboarding-menubar");
        case Step::permissions:
            return QStringLiteral("onboarding-permissions");
        case Step::connect:
            return connected() ? QStringLiteral("onboarding-connected")
                               : QStringLiteral("onboarding-connect");
    }
    return {};
}

void OnboardingModel::advance() {
    switch (step_) {
        case Step::welcome:
            setStep(Step::permissions);
            break;
        case Step::permissions:
            setStep(Step::connect);
            break;
        case Step::connect:
            complete();
            break;
    }
}

void OnboardingModel::goBack() {
    if (step_ != Step::welcome) {
        setStep(static_cast<Step>(static_cast<int>(step_) - 1));
    }
}

void OnboardingModel::skip() {
    complete();
}

void OnboardingModel::setStep(Step step) {
    if (step == step_) {
        return;
    }
    step_ = step;
    markCompleted();
    if (step_ == Step::welcome) {
        readTray();
    }
    if (step_ == Step::connect) {
        lookUpComputerName();
    }
    emit stepChanged();
    emit textsChanged();
}

void OnboardingModel::markCompleted() {
    if (!environment_.defaults) {
        environment_.defaults = UserDefaults::standard();
    }
    environment_.defaults->set(MacAppLifecycle::onboardingCompletedKey, true);
}

void OnboardingModel::complete() {
    // The choice is on screen only on the last step; earlier steps leave the login item alone.
    if (step_ == Step::connect && session_ && session_->shell()) {
        // A failure is the login item's own to report; onboarding ends regardless.
        LoginItemControl* loginItem = session_->shell()->loginItem();
        if (loginItem && loginItem->enabled() != openAtLogin_) {
            loginItem->setEnabled(openAtLogin_);
        }
    }
    markCompleted();
    emit closeRequested();
    emit finishRequested();
}

void OnboardingModel::lookUpComputerName() {
    if (!environment_.computerName || (nameLookup_ && nameLookup_->isRunning())) {
        return;
    }
    nameLookup_ = std::make_unique<QFutureWatcher<QString>>();
    connect(nameLookup_.get(), &QFutureWatcher<QString>::finished, this,
            [this] { setComputerName(nameLookup_->result()); });
    nameLookup_->setFuture(QtConcurrent::run(environment_.computerName));
}

}  // namespace quillory
