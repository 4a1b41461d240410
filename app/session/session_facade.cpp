#include "app/session/session_facade.h"

#include "app/controls/published.h"

namespace quillory {

SessionFacade::SessionFacade(InputControl* input, StudioControl* studio, SessionShell* shell,
                             QObject* parent)
    : QObject(parent),
      input_(input),
      studio_(studio),
      shell_(shell),
      savedDevices_(new SavedDeviceModel(this)),
      status_(tr("Start a session to connect your iPad.")),
      peerName_(QStringLiteral("iPad")) {
    for (QObject* child : {static_cast<QObject*>(input), static_cast<QObject*>(studio),
                           static_cast<QObject*>(shell)}) {
        if (!child->parent()) {
            child->setParent(this);
        }
    }
}

namespace {

constexpr std::pair<MacConnectionState, const char*> stateNames[] = {
    {MacConnectionState::idle, "idle"},
    {MacConnectionState::pairing, "pairing"},
    {MacConnectionState::connected, "connected"},
    {MacConnectionState::failed, "failed"},
};

}  // namespace

QString SessionFacade::rawValue(MacConnectionState state) {
    for (const auto& [value, name] : stateNames) {
        if (value == state) {
            return QString::fromLatin1(name);
        }
    }
    return {};
}

std::optional<MacConnectionState> SessionFacade::connectionStateFromRawValue(const QString& raw) {
    for (const auto& [value, name] : stateNames) {
        if (raw == QLatin1String(name)) {
            return value;
        }
    }
    return std::nullopt;
}

void SessionFacade::setStatus(const QString& status) {
    publishChange(this, status_, status, &SessionFacade::statusChanged);
}

void SessionFacade::publishConnectionState(MacConnectionState state) {
    publishChange(this, connectionState_, state, &SessionFacade::connectionStateChanged);
}

void SessionFacade::publishConnected(bool connected) {
    publishChange(this, connected_, connected, &SessionFacade::connectedChanged);
}

void SessionFacade::publishListening(bool listening) {
    publishChange(this, listening_, listening, &SessionFacade::listeningChanged);
}

void SessionFacade::publishRecovering(bool recovering) {
    publishChange(this, recovering_, recovering, &SessionFacade::recoveringChanged);
}

void SessionFacade::publishPairingCode(const QString& code) {
    publishChange(this, pairingCode_, code, &SessionFacade::pairingCodeChanged);
}

void SessionFacade::publishPairingApproved(bool approved) {
    publishChange(this, pairingApproved_, approved, &SessionFacade::pairingApprovedChanged);
}

void SessionFacade::publishPeerApproved(bool approved) {
    publishChange(this, peerApproved_, approved, &SessionFacade::peerApprovedChanged);
}

void SessionFacade::publishPeerName(const QString& name) {
    publishChange(this, peerName_, name, &SessionFacade::peerNameChanged);
}

void SessionFacade::publishLatency(const LinkLatency& latency) {
    publishChange(this, latency_, LatencyValue(latency), &SessionFacade::latencyChanged);
}

void SessionFacade::publishSavedDevices(const QList<SavedDevice>& devices) {
    if (savedDevices_->setDevices(devices)) {
        emit savedDevicesChanged();
    }
}

void SessionFacade::publishActivePeer(const QString& key) {
    publishChange(this, activePeer_, key, &SessionFacade::activePeerChanged);
}

void SessionFacade::publishPencilTestActive(bool active) {
    publishChange(this, pencilTestActive_, active, &SessionFacade::pencilTestActiveChanged);
}

void SessionFacade::publishFailureMessage(const QString& message) {
    publishChange(this, failureMessage_, message, &SessionFacade::failureMessageChanged);
}

void SessionFacade::publishCanApprove(bool canApprove) {
    publishChange(this, canApprove_, canApprove, &SessionFacade::canApproveChanged);
}

}  // namespace quillory
