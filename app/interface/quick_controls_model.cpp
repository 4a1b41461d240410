#include "app/interface/quick_controls_model.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>

#include "app/session/computer_name.h"
#include "platform/input/desktop_control_access.h"

namespace quillory {

namespace {

const QString accent = QStringLiteral("accent");
const QString warning = QStringLiteral("warning");
const QString destructive = QStringLiteral("destructive");

}  // namespace

QString latencyStatusText(const LinkLatency& latency, const QLocale& locale) {
    switch (latency.kind()) {
        case LinkLatency::Case::measured:
            return QuickControlsModel::tr("%1 ms").arg(
                locale.toString(latency.milliseconds(), 'f', 1));
        case LinkLatency::Case::measuring:
            return QuickControlsModel::tr("Measuring…");
        case LinkLatency::Case::timedOut:
            return QuickControlsModel::tr("No reply");
        case LinkLatency::Case::unsupported:
            return QuickControlsModel::tr("Update companion");
    }
    return {};
}

QuickControlsModel::QuickControlsModel(QObject* parent)
    : QuickControlsView(parent), clock_(std::make_shared<SystemClock>()) {
    // One access object, so that its short-lived answer spares the file system on redraws.
    auto access = std::make_shared<DesktopControlAccess>();
    probes_.inputAccess = [access] { return access->isGranted(); };
    probes_.screenCapture = [] { return true; };  // X11 has no screen-sharing permission
    codeTimer_.setSingleShot(true);
    connect(&codeTimer_, &QTimer::timeout, this, &QuickControlsModel::refresh);
    show(describe());
}

QuickControlsModel::~QuickControlsModel() {
    if (nameLookup_) {
        nameLookup_->disconnect(this);
    }
}

void QuickControlsModel::setClock(std::shared_ptr<const Clock> clock) {
    clock_ = std::move(clock);
}

void QuickControlsModel::setProbes(Probes probes) {
    probes_ = std::move(probes);
    refresh();
}

void QuickControlsModel::setLocale(const QLocale& locale) {
    locale_ = locale;
    refresh();
}

void QuickControlsModel::setSession(SessionFacade* session) {
    if (session == session_) {
        return;
    }
    for (const auto& connection : connections_) {
        QObject::disconnect(connection);
    }
    connections_.clear();
    session_ = session;
    if (session_) {
        watch(session_);
        watch(session_->studio());
        watch(session_->shell()->updates());
        // Of the input only the switch shows here: the pen's samples change with every frame
        // drawn and would have the controls recomputed as often.
        if (InputControl* input = session_->input()) {
            connections_ << connect(input, &InputControl::controlDesktopChanged, this,
                                    &QuickControlsModel::refresh);
        }
        connections_ << connect(session_, &SessionFacade::pairingCodeChanged, this,
                                &QuickControlsModel::codeChanged);
    }
    codeChanged();
    emit sessionChanged();
    refresh();
}

// Every published value of `object` redraws the controls.
void QuickControlsModel::watch(QObject* object) {
    if (!object) {
        return;
    }
    const QMetaObject* meta = object->metaObject();
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("refresh()"));
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (property.hasNotifySignal()) {
            connections_ << connect(object, property.notifySignal(), this, slot);
        }
    }
}

void QuickControlsModel::setComputerName(const QString& name) {
    if (name == computerName_) {
        return;
    }
    computerName_ = name;
    refresh();
}

void QuickControlsModel::lookUpComputerName() {
    if (nameLookup_) {
        return;
    }
    nameLookup_ = std::make_unique<QFutureWatcher<QString>>();
    connect(nameLookup_.get(), &QFutureWatcher<QString>::finished, this, [this] {
        if (computerName_.isEmpty()) {  // a name set meanwhile wins
            setComputerName(nameLookup_->result());
        }
    });
    nameLookup_->setFuture(QtConcurrent::run([] { return quillory::computerName(); }));
}

// A new code restarts the second before it can be confirmed.
void QuickControlsModel::codeChanged() {
    const QString code = session_ ? session_->pairingCode() : QString();
    if (code == shownCode_) {
        return;
    }
    shownCode_ = code;
    codeTimer_.stop();
    if (!code.isEmpty()) {
        codeShownAt_ = clock_->nowSeconds();
        codeTimer_.start(static_cast<int>(std::lround(codeDelay * 1000)));
    }
    refresh();
}

void QuickControlsModel::refresh() {
    show(describe());
}

QString QuickControlsModel::peerLabel() const {
    const QString name = session_->peerName();
    return name == QLatin1String("iPad") ? tr("your iPad") : name;
}

QString QuickControlsModel::latencyText() const {
    return latencyStatusText(session_->latency().latency(), locale_);
}

QuickControlsModel::View QuickControlsModel::describe() const {
    View view;
    if (!session_) {
        view.card = QStringLiteral("waiting");
        return view;
    }
    if (!session_->pairingCode().isEmpty()) {
        view.card = QStringLiteral("pairing");
    } else if (session_->connected()) {
        view.card = QStringLiteral("connected");
    } else {
        view.card = QStringLiteral("waiting");
    }
    describeWaiting(view);
    describePairing(view);
    describeConnected(view);
    describeMenu(view);
    describeSignal(view);
    return view;
}

void QuickControlsModel::describeWaiting(View& view) const {
    const MacConnectionState state = session_->connectionState();
    const bool failed = state == MacConnectionState::failed;
    const bool pairing = state == MacConnectionState::pairing;
    if (failed) {
        view.waitingTitle = tr("Couldn’t connect");
        view.waitingDetail = session_->failureMessage();
    } else if (pairing) {
        view.waitingTitle = tr("Connecting %1").arg(peerLabel());
        view.waitingDetail = tr("Checking it’s a device you trust.");
    } else if (session_->recovering()) {
        view.waitingTitle = tr("Waiting for %1").arg(peerLabel());
        view.waitingDetail = tr("It reconnects by itself when Quillory is open on the iPad.");
    } else if (session_->listening()) {
        view.waitingTitle = tr("Open Quillory on your iPad");
        const QString name = computerName_.isEmpty() ? QStringLiteral("Mac") : computerName_;
        view.waitingDetail = tr("Then choose %1. Same Wi-Fi, nothing else to set up.").arg(name);
    } else {
        view.waitingTitle = tr("Not accepting connections");
        view.waitingDetail = tr("Allow connections so your iPad can find this computer.");
    }
    view.waitingIcon = failed ? QStringLiteral("warning") : QStringLiteral("tablet");
    view.waitingTint = failed                                ? destructive
                       : (pairing || session_->recovering()) ? warning
                                                             : accent;
    if (failed) {
        view.primaryButton = tr("Try again");
    } else if (!session_->listening()) {
        view.primaryButton = tr("Allow connections");
    }
    view.stopWaitingVisible = session_->recovering();
}

void QuickControlsModel::describePairing(View& view) const {
    if (session_->pairingCode().isEmpty()) {
        return;
    }
    view.pairingTitle = tr("Connect to %1").arg(session_->peerName());
    const bool approved = session_->pairingApproved();
    view.thisMacStatus = approved ? tr("Confirmed on this computer") : tr("Ready");
    view.peerStatus = session_->peerApproved() ? tr("Confirmed on your iPad") : tr("Waiting…");
    view.confirmTitle = approved ? tr("Confirmed") : tr("Confirm");
    view.codeSettled = clock_->nowSeconds() - codeShownAt_ >= codeDelay - 1e-9;
    view.confirmEnabled = view.codeSettled && session_->canApprove() && !approved;
}

void QuickControlsModel::describeConnected(View& view) const {
    view.tabletDetail = tr("%1 round trip").arg(latencyText());

    StudioControl* studio = session_->studio();
    if (studio && studio->active()) {
        view.studioRow = QStringLiteral("active");
        view.studioTitle = tr("Studio");
        view.studioDetail =
            studio->status().isEmpty() ? tr("Sharing your screen") : studio->status();
        view.studioButton = tr("Stop");
    } else if (studio && !studio->failure().isEmpty()) {
        view.studioRow = QStringLiteral("stopped");
        view.studioTitle = tr("Studio stopped");
        view.studioDetail = studio->failure();
        view.studioRelaunches =
            probes_.screenCapture() && !session_->shell()->screenCaptureAllowedAtLaunch();
        view.studioButton = view.studioRelaunches ? tr("Reopen") : tr("OK");
    }

    const QString peer = session_->activePeer();
    view.desktopControlOn = !peer.isEmpty() && session_->isDesktopControlEnabled(peer);
    const bool trusted = probes_.inputAccess();
    if (!view.desktopControlOn) {
        view.desktopControlDetail = tr("Pen input is paused");
    } else if (!trusted) {
        view.desktopControlDetail = tr("Needs Desktop control access: allow it below");
    } else if (session_->pencilTestActive()) {
        view.desktopControlDetail = tr("Paused while Pen test is open");
    } else {
        view.desktopControlDetail = tr("The pen controls this computer");
    }
    if (session_->input() && session_->input()->controlDesktop()) {
        view.desktopControlTint = accent;
    } else if (view.desktopControlOn) {
        view.desktopControlTint = warning;
    }
}

void QuickControlsModel::describeMenu(View& view) const {
    UpdatesControl* updates = session_->shell()->updates();
    if (!updates->pendingVersion().isEmpty()) {
        view.updateBanner = tr("Update available: Quillory %1").arg(updates->pendingVersion());
    }
    view.checkForUpdatesVisible = updates->available() && updates->pendingVersion().isEmpty();
    view.checkForUpdatesEnabled = updates->canCheck();
}

void QuickControlsModel::describeSignal(View& view) const {
    const MacConnectionState state = session_->connectionState();
    if (session_->connected()) {
        view.signalDot = QStringLiteral("live");
    } else if (state == MacConnectionState::pairing || session_->recovering()) {
        view.signalDot = QStringLiteral("pending");
    } else {
        view.signalDot = QStringLiteral("idle");
    }
    view.signalFailed = state == MacConnectionState::failed;
    if (view.signalFailed) {
        view.signalWord = tr("Failed");
    } else if (state == MacConnectionState::pairing) {
        view.signalWord = tr("Pairing");
    } else if (session_->recovering()) {
        view.signalWord = tr("Reconnecting");
    } else if (session_->connected()) {
        view.signalWord = tr("Connected");
    } else if (session_->listening()) {
        view.signalWord = tr("Ready");
    } else {
        view.signalWord = tr("Offline");
    }
}

void QuickControlsModel::start() {
    if (session_) {
        session_->start();
    }
}

void QuickControlsModel::disconnect() {
    if (session_) {
        session_->disconnect();
    }
}

void QuickControlsModel::confirm() {
    refresh();  // the second may have passed since the last redraw
    if (!session_ || !view().confirmEnabled) {
        return;
    }
    if (!session_->approvePairing()) {
        session_->closeUnverified();
    }
}

void QuickControlsModel::studioAction() {
    if (!session_) {
        return;
    }
    if (view().studioRow == QLatin1String("active")) {
        session_->studio()->stop();
    } else if (view().studioRow == QLatin1String("stopped")) {
        if (view().studioRelaunches) {
            session_->shell()->relaunchApplication();
        } else {
            session_->studio()->clearFailure();
        }
    }
}

void QuickControlsModel::setDesktopControl(bool on) {
    if (!session_) {
        return;
    }
    session_->setDesktopControl(on);
    // The preference is not published: read it back, so a refused switch turns off again.
    refresh();
}

void QuickControlsModel::openWindow(const QString& identifier) {
    emit closePopoverRequested();
    emit openUtilityRequested(identifier);
}

void QuickControlsModel::checkForUpdates() {
    emit closePopoverRequested();
    if (session_ && session_->shell()->updates()->available()) {
        session_->shell()->updates()->checkForUpdates();
    }
}

void QuickControlsModel::quit() {
    emit quitRequested();
}

}  // namespace quillory
