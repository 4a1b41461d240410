#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <optional>

#include "app/controls/input_control.h"
#include "app/controls/latency_value.h"
#include "app/controls/saved_device_model.h"
#include "app/controls/session_shell.h"
#include "app/controls/studio_control.h"

namespace quillory {

// The session as the views see it: published state with one change signal per property, emitted
// only on change, and the operations the views call. The application's session and the tests'
// fake derive from it; the state is kept here and written through the protected publishers.
// Main thread only.
class SessionFacade : public QObject {
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
    Q_PROPERTY(InputControl* input READ input CONSTANT)
    Q_PROPERTY(StudioControl* studio READ studio CONSTANT)
    Q_PROPERTY(SessionShell* shell READ shell CONSTANT)

  public:
    enum class MacConnectionState { idle, pairing, connected, failed };
    Q_ENUM(MacConnectionState)

    SessionFacade(InputControl* input, StudioControl* studio, SessionShell* shell,
                  QObject* parent = nullptr);

    MacConnectionState connectionState() const { return connectionState_; }
    QString connectionStateName() const { return rawValue(connectionState_); }
    static QString rawValue(MacConnectionState state);
    static std::optional<MacConnectionState> connectionStateFromRawValue(const QString& raw);
    bool connected() const { return connected_; }
    bool listening() const { return listening_; }
    bool recovering() const { return recovering_; }
    QString status() const { return status_; }
    void setStatus(const QString& status);
    QString pairingCode() const { return pairingCode_; }
    bool pairingApproved() const { return pairingApproved_; }
    bool peerApproved() const { return peerApproved_; }
    QString peerName() const { return peerName_; }
    LatencyValue latency() const { return latency_; }
    SavedDeviceModel* savedDevices() const { return savedDevices_; }
    QString activePeer() const { return activePeer_; }
    bool pencilTestActive() const { return pencilTestActive_; }
    QString failureMessage() const { return failureMessage_; }
    bool canApprove() const { return canApprove_; }
    InputControl* input() const { return input_; }
    StudioControl* studio() const { return studio_; }
    SessionShell* shell() const { return shell_; }

    // Starts listening under this computer's name.
    Q_INVOKABLE virtual void start() = 0;
    Q_INVOKABLE virtual void disconnect() = 0;
    // Confirms the pairing code on this computer; false when the channel cannot approve now.
    Q_INVOKABLE virtual bool approvePairing() = 0;
    // The user refused the code: the current channel ends as unverified.
    Q_INVOKABLE virtual void closeUnverified() = 0;
    Q_INVOKABLE virtual bool isCurrent(const QString& deviceKey) const = 0;
    Q_INVOKABLE virtual bool forget(const QString& deviceKey) = 0;
    Q_INVOKABLE virtual void updateInputState() = 0;
    Q_INVOKABLE virtual void requestInputAccess() = 0;
    Q_INVOKABLE virtual void setDesktopControl(bool enabled) = 0;
    Q_INVOKABLE virtual bool isDesktopControlEnabled(const QString& deviceKey) const = 0;
    Q_INVOKABLE virtual void setPencilTestActive(bool active) = 0;
    // The main display's size in pixels; invalid unless both sides lie in 1 to 16384.
    Q_INVOKABLE virtual QSize mainDisplayPixelSize() const = 0;

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
    InputControl* input_;
    StudioControl* studio_;
    SessionShell* shell_;
    SavedDeviceModel* savedDevices_;
    MacConnectionState connectionState_ = MacConnectionState::idle;
    bool connected_ = false;
    bool listening_ = false;
    bool recovering_ = false;
    QString status_;
    QString pairingCode_;
    bool pairingApproved_ = false;
    bool peerApproved_ = false;
    QString peerName_;
    LatencyValue latency_;
    QString activePeer_;
    bool pencilTestActive_ = false;
    QString failureMessage_;
    bool canApprove_ = false;
};

using MacConnectionState = SessionFacade::MacConnectionState;

}  // namespace quillory
