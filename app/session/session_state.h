#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "app/controls/latency_value.h"
#include "app/controls/saved_device_model.h"

namespace quillory {

// What the session publishes to the views: one property per value with its change signal,
// emitted only on change. Written through the protected publishers. Main thread only.
class SessionState : public QObject {
    Q_OBJECT
    Q_PROPERTY(
        MacConnectionState connectionState READ connectionState NOTIFY connectionStateChanged)
    // The state's name ("idle", "pairing", "connected", "failed"): QML reaches no enum value
    // that starts in lower case.
    Q_PROPERTY(QString connectionStateName READ connectionStateName NOTIFY connectionStateChanged)
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)
    Q_PROPERTY(bool listening READ listening NOTIFY listeningChanged)
    Q_PROPERTY(bool recovering READ recovering NOTIFY recoveringChanged)
    // The views also write it (the desktop-control access hint).
    Q_PROPERTY(QString status READ status WRITE setStatus NOTIFY statusChanged)
    // Empty when there is no code.
    Q_PROPERTY(QString pairingCode READ pairingCode NOTIFY pairingCodeChanged)
    Q_PROPERTY(bool pairingApproved READ pairingApproved NOTIFY pairingApprovedChanged)
    Q_PROPERTY(bool peerApproved READ peerApproved NOTIFY peerApprovedChanged)
    Q_PROPERTY(QString peerName READ peerName NOTIFY peerNameChanged)
    Q_PROPERTY(quillory::LatencyValue latency READ latency NOTIFY latencyChanged)
    Q_PROPERTY(SavedDeviceModel* savedDevices READ savedDevices NOTIFY savedDevicesChanged)
    // The device key of the verified tablet; empty when none.
    Q_PROPERTY(QString activePeer READ activePeer NOTIFY activePeerChanged)
    Q_PROPERTY(bool pencilTestActive READ pencilTestActive NOTIFY pencilTestActiveChanged)
    // Why the last connection failed; written only where the session enters `failed`, so texts
    // the views write into `status` never replace it.
    Q_PROPERTY(QString failureMessage READ failureMessage NOTIFY failureMessageChanged)
    // True from a pairing code until this computer approved it or the channel ended.
    Q_PROPERTY(bool canApprove READ canApprove NOTIFY canApproveChanged)

  public:
    enum class MacConnectionState { idle, pairing, connected, failed };
    Q_ENUM(MacConnectionState)

    explicit SessionState(QObject* parent = nullptr);

    MacConnectionState connectionState() const { return values_.connectionState; }
    QString connectionStateName() const { return rawValue(values_.connectionState); }
    static QString rawValue(MacConnectionState state);
    static std::optional<MacConnectionState> connectionStateFromRawValue(const QString& raw);
    bool connected() const { return values_.connected; }
    bool listening() const { return values_.listening; }
    bool recovering() const { return values_.recovering; }
    QString status() const { return values_.status; }
    void setStatus(const QString& status);
    QString pairingCode() const { return values_.pairingCode; }
    bool pairingApproved() const { return values_.pairingApproved; }
    bool peerApproved() const { return values_.peerApproved; }
    QString peerName() const { return values_.peerName; }
    LatencyValue latency() const { return values_.latency; }
    SavedDeviceModel* savedDevices() const { return values_.savedDevices; }
    QString activePeer() const { return values_.activePeer; }
    bool pencilTestActive() const { return values_.pencilTestActive; }
    QString failureMessage() const { return values_.failureMessage; }
    bool canApprove() const { return values_.canApprove; }

  signals:
    void connectionStateChanged();
    void connectedChanged();
    void listeningChanged();
    void recoveringChanged();
    void statusChanged();
    void pairingCodeChanged();
    void pairingApprovedChanged();
    void peerApprovedChanged();
    void peerNameChanged();
    void latencyChanged();
    void savedDevicesChanged();
    void activePeerChanged();
    void pencilTestActiveChanged();
    void failureMessageChanged();
    void canApproveChanged();

  protected:
    void publishConnectionState(MacConnectionState state);
    void publishConnected(bool connected);
    void publishListening(bool listening);
    void publishRecovering(bool recovering);
    void publishPairingCode(const QString& code);
    void publishPairingApproved(bool approved);
    void publishPeerApproved(bool approved);
    void publishPeerName(const QString& name);
    void publishLatency(const LinkLatency& latency);
    void publishSavedDevices(const QList<SavedDevice>& devices);
    void publishActivePeer(const QString& key);
    void publishPencilTestActive(bool active);
    void publishFailureMessage(const QString& message);
    void publishCanApprove(bool canApprove);

  private:
    struct Values {
        SavedDeviceModel* savedDevices = nullptr;
        MacConnectionState connectionState = MacConnectionState::idle;
        bool connected = false;
        bool listening = false;
        bool recovering = false;
        QString status;
        QString pairingCode;
        bool pairingApproved = false;
        bool peerApproved = false;
        QString peerName;
        LatencyValue latency;
        QString activePeer;
        bool pencilTestActive = false;
        QString failureMessage;
        bool canApprove = false;
    };

    Values values_;
};

}  // namespace quillory
