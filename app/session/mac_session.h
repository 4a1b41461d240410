#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop-control/desktop_control_preferences.h"
#include "app/desktop-control/desktop_input_controller.h"
#include "app/desktop-control/desktop_input_environment.h"
#include "app/permissions/desktop_control_grant.h"
#include "app/permissions/input_access_follower.h"
#include "app/permissions/permission_probe.h"
#include "app/session/chord_recorder.h"
#include "app/session/controls_responder.h"
#include "app/session/desktop_context_tracker.h"
#include "app/session/session_facade.h"
#include "app/session/session_input_receivers.h"
#include "app/session/session_link.h"
#include "app/session/session_sources.h"
#include "app/session/system_presence.h"
#include "core/link/recovery_scheduler.h"
#include "protocol/menu_command.h"

namespace quillory {

// The application's session: owns the listener, the one channel to a tablet, the trust store,
// desktop input, Studio and the chord recorder, wires them to each other, follows sleep, wake and
// login-session changes, and publishes the state the views show. Main thread, except the input
// receivers, which run on the channel's transport queue and touch only the input worker. Made
// with create(); callbacks hold it weakly.
class MacSession final : public SessionFacade, public std::enable_shared_from_this<MacSession> {
    Q_OBJECT

  public:
    // Everything the session reaches the system through; the tests substitute each part.
    struct Environment {
        std::shared_ptr<SessionListener> listener;
        SessionChannelFactory makeChannel;
        std::function<DeviceTrustStore::Opened()> openStore;
        DesktopInputEnvironment input;
        DesktopControlPreferences controlPreferences;
        // Desktop control access.
        std::function<bool()> hasInputPermission;
        // With both: access granted while running moves input onto uinput (or marks a relaunch
        // as needed on the probe); the grant's end re-evaluates the input state. Both belong to
        // the shell.
        PermissionProbe* permissions = nullptr;
        DesktopControlGrant* grant = nullptr;
        std::function<bool()> uinputWritable;
        std::shared_ptr<Desktop> desktop;
        std::function<std::vector<MenuCommand>(std::int32_t processID)> readMenuCommands;
        std::function<QString()> computerName;
        std::shared_ptr<LoginEvents> login;
        std::shared_ptr<ForegroundEvents> foreground;
        std::shared_ptr<ApplicationIcons> icons;
        std::unique_ptr<ChordRecorder> recorder;
        // Owned by the session from here on. Studio is required; an inert shell when null.
        StudioControl* studio = nullptr;
        SessionShell* shell = nullptr;
        std::int32_t ownProcessID = 0;
        // Qt's screen and application-state signals; off in tests, which call in by hand.
        bool followApplication = true;
    };

    static std::shared_ptr<MacSession> create(Environment environment);
    ~MacSession() override;

    // SessionFacade.
    void start() override { start(std::nullopt); }
    void disconnect() override;
    bool approvePairing() override;
    void closeUnverified() override;
    bool isCurrent(const QString& deviceKey) const override;
    bool forget(const QString& deviceKey) override;
    void updateInputState() override;
    void requestInputAccess() override;
    void setDesktopControl(bool enabled) override;
    bool isDesktopControlEnabled(const QString& deviceKey) const override;
    void setPencilTestActive(bool active) override;
    QSize mainDisplayPixelSize() const override;

    void start(const std::optional<QString>& name);
    // At termination: an explicit quit disconnects and records the stop; any other closes the
    // link as interrupted so that the tablet comes back.
    void stop(bool explicitQuit);
    void suspend();
    void accept(StreamConnection connection);

    void handleScreenChange();

    DesktopInputController& inputController() { return *input_; }
    const std::shared_ptr<SessionChannel>& channel() const { return channel_; }
    const std::optional<DesktopContext>& desktopContext() const { return context_->context(); }
    const std::optional<std::string>& pendingPeer() const { return pendingPeer_; }
    const std::optional<Uuid>& activeIntent() const { return activeIntent_; }
    bool awake() const { return presence_->awake(); }
    // The system announced a power-off or restart: a quit now closes the link as interrupted.
    bool systemShuttingDown() const { return presence_->shuttingDown(); }
    bool sessionActive() const { return presence_->sessionActive(); }
    const std::optional<Uuid>& recordingID() const { return controls_->recordingID(); }
    RecoveryScheduler& listenerRecovery() { return listenerRecovery_; }
    std::uint16_t listenerPort() const { return env_.listener->port(); }

  private:
    using PeerSlot = std::shared_ptr<std::optional<std::pair<RememberedDevice, Uuid>>>;

    MacSession(Environment environment, std::unique_ptr<DesktopInputController> input);
    void wire();
    void wireStudio();
    void wireListener();
    void followApplication();
    // Disconnects; returns the channel it stopped, if any.
    std::shared_ptr<SessionChannel> disconnectChannel();

    void listenerReady();
    void listenerFailed(const std::string& description);
    void fail(const QString& message);
    void scheduleListenerRetry();
    void publishStoreDevices();
    void closeChannel(ConnectionEnd end, SessionChannel::Cause cause);
    void setActivePeer(std::optional<std::string> key);
    void resetLinkState();

    // The channel's events: each acts only while `channel` is the current one.
    PenChannelEvents channelEvents(const std::shared_ptr<SessionChannel>& channel,
                                   const PeerSlot& slot, const SessionInputReceivers& receivers);
    void onPeer(const PeerSlot& slot, const RememberedDevice& device, const Uuid& intent);
    void onReady(const PeerSlot& slot, const SessionInputReceivers& receivers);
    void onEnded(const ConnectionEnd& end);

    // Asks for desktop control access and lets input follow a change of it.
    bool inputAccessGranted();

    Environment env_;
    std::unique_ptr<DesktopInputController> input_;
    std::unique_ptr<InputAccessFollower> accessFollower_;
    RecoveryScheduler listenerRecovery_;

    std::shared_ptr<DeviceTrustStore> store_;
    std::shared_ptr<SessionChannel> channel_;
    std::optional<std::string> pendingPeer_;
    std::optional<std::string> activePeer_;
    std::optional<Uuid> activeIntent_;
    std::shared_ptr<SystemPresence> presence_;
    std::shared_ptr<DesktopContextTracker> context_;
    std::shared_ptr<ControlsResponder> controls_;
};

}  // namespace quillory
