#include "app/session/session_state.h"

#include "app/controls/published.h"

namespace quillory {

SessionState::SessionState(QObject* parent) : QObject(parent) {
    values_.savedDevices = new SavedDeviceModel(this);
    values_.status = tr("Start a session to connect your iPad.");
    values_.peerName = QStringLiteral("iPad");
}

namespace {

using MacConnectionState = SessionState::MacConnectionState;

constexpr std::pair<MacConnectionState, const char*> stateNames[] = {
    {MacConnectionState::idle, "idle"},
    {MacConnectionState::pairing, "pairing"},
    {MacConnectionState::connected, "connected"},
    {MacConnectionState::failed, "failed"},
};

}  // namespace

QString SessionState::rawValue(MacConnectionState state) {
    for (const auto& [value, name] : stateNames) {
        if (value == state) {
            return QString::fromLatin1(name);
        }
    }
    return {};
}

std::optional<MacConnectionState> SessionState::connectionStateFromRawValue(const QString& raw) {
    for (const auto& [value, name] : stateNames) {
        if (raw == QLatin1String(name)) {
            return value;
        }
    }
    return std::nullopt;
}

void SessionState::setStatus(const QString& status) {
    publishChange(this, values_.status, status, &SessionState::statusChanged);
}

void SessionState::publishConnectionState(MacConnectionState state) {
    publishChange(this, values_.connectionState, state, &SessionState::connectionStateChanged);
}

void SessionState::publishConnected(bool connected) {
    publishChange(this, values_.connected, connected, &SessionState::connectedChanged);
}

void SessionState::publishListening(bool listening) {
    publishChange(this, values_.listening, listening, &SessionState::listeningChanged);
}

void SessionState::publishRecovering(bool recovering) {
    publishChange(this, values_.recovering, recovering, &SessionState::recoveringChanged);
}

void SessionState::publishPairingCode(const QString& code) {
    publishChange(this, values_.pairingCode, code, &SessionState::pairingCodeChanged);
}

void SessionState::publishPairingApproved(bool approved) {
    publishChange(this, values_.pairingApproved, approved, &SessionState::pairingApprovedChanged);
}

void SessionState::publishPeerApproved(bool approved) {
    publishChange(this, values_.peerApproved, approved, &SessionState::peerApprovedChanged);
}

void SessionState::publishPeerName(const QString& name) {
    publishChange(this, values_.peerName, name, &SessionState::peerNameChanged);
}

void SessionState::publishLatency(const LinkLatency& latency) {
    publishChange(this, values_.latency, LatencyValue(latency), &SessionState::latencyChanged);
}

void SessionState::publishSavedDevices(const QList<SavedDevice>& devices) {
    if (values_.savedDevices->setDevices(devices)) {
        emit savedDevicesChanged();
    }
}

void SessionState::publishActivePeer(const QString& key) {
    publishChange(this, values_.activePeer, key, &SessionState::activePeerChanged);
}

void SessionState::publishPencilTestActive(bool active) {
    publishChange(this, values_.pencilTestActive, active, &SessionState::pencilTestActiveChanged);
}

void SessionState::publishFailureMessage(const QString& message) {
    publishChange(this, values_.failureMessage, message, &SessionState::failureMessageChanged);
}

void SessionState::publishCanApprove(bool canApprove) {
    publishChange(this, values_.canApprove, canApprove, &SessionState::canApproveChanged);
}

}  // namespace quillory
