#include "app/session/mac_session.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "app/controls/input_control.h"
#include "platform/dispatch/sequence_checker.h"
#include "platform/log/logger.h"

namespace quillory {
namespace {

const Logger& sessionLog() {
    static const Logger logger("app.quillory.session", "session");
    return logger;
}

QString storageText() {
    return QString::fromStdString(ConnectionEnd(ConnectionEnd::Case::storage).message());
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

constexpr const char* waitingStatus = "Waiting for your iPad";
constexpr const char* stoppedStatus = "Session stopped";
constexpr const char* connectedStatus = "Connected securely";
constexpr const char* reconnectingStatus = "Waiting for your iPad to reconnect…";
constexpr const char* inputAccessHint =
    "Allow Quillory desktop control access: write access to /dev/uinput through a udev rule.";
constexpr const char* fallbackName = "Mac";
constexpr double stopWriteWait = 0.5;

// The name the listener advertises: the one given, else the computer's, else a fallback.
QString advertisedName(const std::optional<QString>& name,
                       const std::function<QString()>& computerName) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (name && !name->isEmpty()) {
        return *name;
    }
    QString computer = computerName ? computerName() : QString();
    return computer.isEmpty() ? QString::fromLatin1(fallbackName) : computer;
}

std::optional<DisplayGeometry> mainDisplaySize(const std::shared_ptr<Desktop>& desktop) {
    QUILLORY_CHECK_MAIN_THREAD();
    const auto display = desktop ? desktop->mainDisplay() : std::nullopt;
    if (!display) {
        return std::nullopt;
    }
    const double width = std::round(display->bounds.width);
    const double height = std::round(display->bounds.height);
    auto fits = [](double side) { return side >= 1 && side <= 16384; };
    if (!fits(width) || !fits(height)) {
        return std::nullopt;
    }
    return DisplayGeometry{static_cast<std::int64_t>(width), static_cast<std::int64_t>(height)};
}

}  // namespace

std::shared_ptr<MacSession> MacSession::create(Environment environment) {
    auto input = std::make_unique<DesktopInputController>(environment.input);
    std::shared_ptr<MacSession> session(new MacSession(std::move(environment), std::move(input)));
    session->wire();
    return session;
}

MacSession::MacSession(Environment environment, std::unique_ptr<DesktopInputController> input)
    : SessionFacade(new DesktopInputControl(input.get()), environment.studio,
                    environment.shell ? environment.shell : new InertShell),
      env_(std::move(environment)),
      input_(std::move(input)),
      accessFollower_(env_.permissions && env_.uinputWritable
                          ? std::make_unique<InputAccessFollower>(*input_, *env_.permissions,
                                                                  env_.uinputWritable)
                          : nullptr),
      presence_(std::make_shared<SystemPresence>()) {}

MacSession::~MacSession() {
    context_->cancelArtwork();
    closeChannel(ConnectionEnd(ConnectionEnd::Case::stopped), SessionChannel::Cause::application);
    env_.listener->stop();
    env_.listener->onReady = nullptr;
    env_.listener->onFailure = nullptr;
    env_.listener->onConnection = nullptr;
    // Menu reads and icon renders still queued end here.
    controls_.reset();
    context_.reset();
}

namespace {

// A callback that runs `action` on the session while it exists.
template <class Action>
auto withSession(std::weak_ptr<MacSession> weak, Action action) {
    return [weak = std::move(weak), action](auto&&... args) {
        if (auto self = weak.lock()) {
            action(*self, args...);
        }
    };
}

}  // namespace

void MacSession::wire() {
    QUILLORY_CHECK_MAIN_THREAD();
    const std::weak_ptr<MacSession> weak = weak_from_this();
    auto channel = [weak]() -> std::shared_ptr<SessionChannel> {
        const auto self = weak.lock();
        return self ? self->channel_ : nullptr;
    };
    context_ = std::make_shared<DesktopContextTracker>(
        DesktopContextTracker::Environment{
            .desktop = env_.desktop,
            .icons = env_.icons,
            .ownProcessID = env_.ownProcessID,
            .channel = channel,
            .connected =
                [weak] {
                    const auto self = weak.lock();
                    return self && self->connected();
                },
        },
        *input_);
    controls_ = std::make_shared<ControlsResponder>(
        ControlsResponder::Environment{
            .readMenuCommands = env_.readMenuCommands,
            .icons = env_.icons,
            .recorder = std::move(env_.recorder),
            .channel = channel,
        },
        *context_);
    input_->observeInputSourceChanges();
    if (env_.grant) {
        connect(env_.grant, &DesktopControlGrant::stateChanged, this, [this] {
            if (env_.grant->state() == DesktopControlGrant::State::ended) {
                updateInputState();
            }
        });
    }
    wireStudio();
    wireListener();
    if (env_.login) {
        presence_->follow(*env_.login, withSession(weak, [](MacSession& self, bool up) {
            if (up) {
                self.start(std::nullopt);
            } else {
                self.suspend();
            }
        }));
    }
    if (env_.foreground) {
        env_.foreground->onChange =
            withSession(weak, [](MacSession& self) { self.context_->refresh(false); });
    }
    if (env_.followApplication) {
        followApplication();
    }

    const auto front = context_->frontmost();
    std::optional<std::int32_t> pid;
    if (front) {
        pid = front->processID;
    }
    input_->setForeground(pid, std::nullopt);
}

// The Studio host's hooks: its signals go to the current link, its mapping and boundaries to the
// input.
void MacSession::wireStudio() {
    const std::weak_ptr<MacSession> weak = weak_from_this();
    studio()->setHooks({
        .send = withSession(weak,
                            [](MacSession& self, const StudioSignal& signal) {
                                if (self.channel_) {
                                    self.channel_->send(signal);
                                }
                            }),
        .onMappingChanged = withSession(weak,
                                        [](MacSession& self, const DesktopInputTarget& target) {
                                            QUILLORY_CHECK_MAIN_THREAD();
                                            self.input_->setTarget(target);
                                            self.context_->refresh(true);
                                        }),
        .onSourceActivated =
            withSession(weak, [](MacSession& self) { self.context_->refresh(true); }),
        .onInputBoundary = withSession(weak,
                                       [](MacSession& self) {
                                           QUILLORY_CHECK_MAIN_THREAD();
                                           self.input_->reset();
                                           self.updateInputState();
                                           self.context_->refresh(true);
                                       }),
        .localAddress = [weak]() -> std::optional<std::string> {
            const auto self = weak.lock();
            return self && self->channel_ ? self->channel_->localAddress() : std::nullopt;
        },
    });
}

void MacSession::wireListener() {
    const std::weak_ptr<MacSession> weak = weak_from_this();
    env_.listener->onReady = withSession(weak, [](MacSession& self) { self.listenerReady(); });
    env_.listener->onFailure = withSession(
        weak,
        [](MacSession& self, const std::string& description) { self.listenerFailed(description); });
    env_.listener->onConnection = [weak](StreamConnection connection) {
        if (auto self = weak.lock()) {
            self->accept(std::move(connection));
        } else {
            connection.cancel();
        }
    };
}

// The application's activation and its screens.
void MacSession::followApplication() {
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state == Qt::ApplicationActive) {
                        updateInputState();
                    }
                });
        auto follow = [this](QScreen* screen) {
            connect(screen, &QScreen::geometryChanged, this, &MacSession::handleScreenChange);
        };
        for (QScreen* screen : QGuiApplication::screens()) {
            follow(screen);
        }
        connect(application, &QGuiApplication::screenAdded, this, [this, follow](QScreen* s) {
            follow(s);
            handleScreenChange();
        });
        connect(application, &QGuiApplication::screenRemoved, this,
                &MacSession::handleScreenChange);
        connect(application, &QGuiApplication::primaryScreenChanged, this,
                &MacSession::handleScreenChange);
    }
}

// Starting and listening.

void MacSession::start(const std::optional<QString>& name) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!presence_->sessionActive() || !presence_->awake()) {
        return;
    }
    if (!store_) {
        auto opened = env_.openStore();
        if (!opened.store) {
            sessionLog().error("The trust store could not be opened: %s",
                               opened.error ? quillory::describe(*opened.error) : "unknown");
            // Not retried: the next wake or login-session activation tries again.
            fail(storageText());
            return;
        }
        store_ = std::move(opened.store);
    }
    publishStoreDevices();
    if (auto error = env_.listener->start(advertisedName(name, env_.computerName).toStdString(),
                                          store_->fingerprint())) {
        fail(text(*error));
        scheduleListenerRetry();
    }
}

void MacSession::listenerReady() {
    QUILLORY_CHECK_MAIN_THREAD();
    publishListening(true);
    if (!channel_) {
        publishConnectionState(MacConnectionState::idle);
        setStatus(tr(waitingStatus));
    }
    listenerRecovery_.markConnected();
}

void MacSession::listenerFailed(const std::string& description) {
    QUILLORY_CHECK_MAIN_THREAD();
    suspend();
    fail(text(description));
    scheduleListenerRetry();
}

void MacSession::fail(const QString& message) {
    QUILLORY_CHECK_MAIN_THREAD();
    setStatus(message);
    publishFailureMessage(message);
    publishConnectionState(MacConnectionState::failed);
}

void MacSession::scheduleListenerRetry() {
    QUILLORY_CHECK_MAIN_THREAD();
    std::weak_ptr<MacSession> weak = weak_from_this();
    listenerRecovery_.scheduleRetry([weak] {
        if (auto self = weak.lock()) {
            self->start(std::nullopt);
        }
    });
}

void MacSession::publishStoreDevices() {
    QUILLORY_CHECK_MAIN_THREAD();
    QList<SavedDevice> devices;
    for (const RememberedDevice& device : store_->peers()) {
        devices.append(SavedDevice{text(device.id()), text(device.name)});
    }
    publishSavedDevices(devices);
}

QSize MacSession::mainDisplayPixelSize() const {
    QUILLORY_CHECK_MAIN_THREAD();
    const auto size = mainDisplaySize(env_.desktop);
    return size ? QSize(static_cast<int>(size->width), static_cast<int>(size->height)) : QSize();
}

// Accepting a tablet.

void MacSession::accept(StreamConnection connection) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (channel_ || !store_) {
        connection.cancel();
        return;
    }
    const std::string name = advertisedName(std::nullopt, env_.computerName).toStdString();
    auto channel = env_.makeChannel(std::move(connection), name, store_, Uuid::random());
    if (!channel) {
        fail(storageText());
        return;
    }
    auto slot = std::make_shared<std::optional<std::pair<RememberedDevice, Uuid>>>();
    channel_ = channel;
    context_->reset();
    channel->setLocalDisplay(mainDisplaySize(env_.desktop));
    input_->reset();
    const Uuid connectionID = input_->beginPresentation();
    std::weak_ptr<MacSession> weak = weak_from_this();
    auto receivers =
        SessionInputReceivers::make(input_->worker(), connectionID, [weak](const Uuid& ended) {
            MainQueue::post([weak, ended] {
                if (auto self = weak.lock()) {
                    self->input_->disconnect(ended);
                }
            });
        });
    // Input goes live once the worker is set up for the connection (onReady); until then the
    // channel holds it, so that no setting up falls inside a stroke begun at once.
    channel->setInputReceivers(nullptr, nullptr, nullptr, receivers.ended);
    publishConnectionState(MacConnectionState::pairing);
    channel->start(channelEvents(channel, slot, receivers));
}

PenChannelEvents MacSession::channelEvents(const std::shared_ptr<SessionChannel>& channel,
                                           const PeerSlot& slot,
                                           const SessionInputReceivers& receivers) {
    QUILLORY_CHECK_MAIN_THREAD();
    // Each handler acts only while `channel` is the current one.
    auto guarded = [weakSelf = weak_from_this(),
                    weakChannel = std::weak_ptr<SessionChannel>(channel)](auto handler) {
        return [weakSelf, weakChannel, handler](auto&&... args) {
            auto self = weakSelf.lock();
            auto current = weakChannel.lock();
            if (!self || !current || self->channel_ != current) {
                return;
            }
            handler(*self, args...);
        };
    };
    PenChannelEvents events;
    events.onPeer = guarded([slot](MacSession& self, const RememberedDevice& device,
                                   const Uuid& intent) { self.onPeer(slot, device, intent); });
    events.onPairing =
        guarded([](MacSession& self, const std::string& code, const std::string& peerName) {
            self.publishPairingCode(text(code));
            self.publishPeerName(text(peerName));
            self.publishCanApprove(true);
        });
    events.onApprovalChange = guarded([](MacSession& self, bool local, bool remote) {
        self.publishPairingApproved(local);
        self.publishPeerApproved(remote);
        if (local) {
            self.publishCanApprove(false);
        }
    });
    events.onLatency =
        guarded([](MacSession& self, const LinkLatency& latency) { self.publishLatency(latency); });
    events.onReady =
        guarded([slot, receivers](MacSession& self) { self.onReady(slot, receivers); });
    events.onEnded = guarded([](MacSession& self, const ConnectionEnd& end) { self.onEnded(end); });
    events.onStudio = guarded(
        [](MacSession& self, const StudioSignal& signal) { self.studio()->handle(signal); });
    events.onControls = guarded(
        [](MacSession& self, const ControlsSignal& signal) { self.controls_->handle(signal); });
    return events;
}

void MacSession::onPeer(const PeerSlot& slot, const RememberedDevice& device, const Uuid& intent) {
    QUILLORY_CHECK_MAIN_THREAD();
    // Another tablet than the interrupted one: a later stop or forget must not be recorded
    // against the earlier tablet's intent.
    if (activePeer_ && *activePeer_ != device.id()) {
        setActivePeer(std::nullopt);
        activeIntent_.reset();
    }
    *slot = std::make_pair(device, intent);
    pendingPeer_ = device.id();
    publishPeerName(text(device.name));
}

void MacSession::onReady(const PeerSlot& slot, const SessionInputReceivers& receivers) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (*slot) {
        setActivePeer((*slot)->first.id());
        activeIntent_ = (*slot)->second;
    } else {
        setActivePeer(std::nullopt);
        activeIntent_.reset();
    }
    publishRecovering(false);
    publishStoreDevices();
    publishConnected(true);
    setStatus(tr(connectedStatus));
    if (activePeer_ && !env_.controlPreferences.storedValue(*activePeer_)) {
        env_.controlPreferences.setEnabled(true, *activePeer_);
    }
    updateInputState();
    // Live right behind the set-up and the context it sent: a tablet that waits for the context
    // finds its input handed over as it comes, not held.
    if (channel_) {
        channel_->setInputReceivers(receivers.samples, receivers.action, receivers.cancelled,
                                    receivers.ended);
    }
    publishConnectionState(MacConnectionState::connected);
    publishPairingCode({});
    publishCanApprove(false);
}

void MacSession::onEnded(const ConnectionEnd& end) {
    QUILLORY_CHECK_MAIN_THREAD();
    const bool recovering = end.isInterrupted() && activeIntent_.has_value();
    publishRecovering(recovering);
    if (!end.isInterrupted()) {
        setActivePeer(std::nullopt);
        activeIntent_.reset();
    }
    studio()->reset(recovering);
    controls_->stopRecording();
    input_->reset();
    publishConnected(false);
    publishLatency(LinkLatency::measuring());
    publishPairingCode({});
    publishPairingApproved(false);
    publishPeerApproved(false);
    publishCanApprove(false);
    pendingPeer_.reset();
    channel_.reset();
    if (recovering) {
        setStatus(tr(reconnectingStatus));
    } else {
        setStatus(text(end.message()));
    }
    if (end.kind() == ConnectionEnd::Case::stopped || recovering) {
        publishConnectionState(MacConnectionState::idle);
    } else {
        fail(text(end.message()));
    }
}

// Suspending, stopping, disconnecting.

void MacSession::closeChannel(ConnectionEnd end, SessionChannel::Cause cause) {
    QUILLORY_CHECK_MAIN_THREAD();
    // Dropped before it reports its end, so that report changes nothing.
    if (auto taken = std::exchange(channel_, nullptr)) {
        taken->close(std::move(end), cause);
    }
}

void MacSession::resetLinkState() {
    QUILLORY_CHECK_MAIN_THREAD();
    input_->reset();
    publishConnected(false);
    publishPairingCode({});
    publishPairingApproved(false);
    publishPeerApproved(false);
    publishCanApprove(false);
    publishLatency(LinkLatency::measuring());
}

void MacSession::suspend() {
    QUILLORY_CHECK_MAIN_THREAD();
    listenerRecovery_.cancel();
    closeChannel(ConnectionEnd(ConnectionEnd::Case::interrupted),
                 SessionChannel::Cause::systemPaused);
    studio()->reset(activeIntent_.has_value());
    env_.listener->stop();
    publishListening(false);
    publishRecovering(activeIntent_.has_value());
    resetLinkState();
    setStatus(tr(waitingStatus));
    publishConnectionState(MacConnectionState::idle);
}

void MacSession::stop(bool explicitQuit) {
    QUILLORY_CHECK_MAIN_THREAD();
    listenerRecovery_.cancel();
    if (explicitQuit) {
        // The tablet must see the "stop" line, not an interruption: give it a moment to leave.
        if (auto stopped = disconnectChannel()) {
            stopped->waitUntilStopWritten(stopWriteWait);
        }
    } else {
        closeChannel(ConnectionEnd(ConnectionEnd::Case::interrupted),
                     SessionChannel::Cause::systemPaused);
        studio()->reset(false);
    }
    env_.listener->stop();
    publishListening(false);
    resetLinkState();
    setStatus(tr(stoppedStatus));
    publishConnectionState(MacConnectionState::idle);
}

void MacSession::disconnect() {
    QUILLORY_CHECK_MAIN_THREAD();
    disconnectChannel();
}

std::shared_ptr<SessionChannel> MacSession::disconnectChannel() {
    QUILLORY_CHECK_MAIN_THREAD();
    studio()->reset(false);
    bool saved = true;
    if (activePeer_ && activeIntent_ && store_) {
        if (auto error = store_->recordStopped(*activePeer_, *activeIntent_)) {
            sessionLog().error("The tablet's stop could not be recorded: %s",
                               quillory::describe(*error));
            saved = false;
        }
    }
    auto taken = std::exchange(channel_, nullptr);
    if (taken) {
        saved = taken->stop() && saved;
    }
    pendingPeer_.reset();
    setActivePeer(std::nullopt);
    activeIntent_.reset();
    publishRecovering(false);
    controls_->stopRecording();
    if (!saved) {
        env_.listener->stop();
        publishListening(false);
    }
    resetLinkState();
    setStatus(saved ? tr("Disconnected") : storageText());
    publishConnectionState(MacConnectionState::idle);
    return taken;
}

void MacSession::setActivePeer(std::optional<std::string> key) {
    QUILLORY_CHECK_MAIN_THREAD();
    activePeer_ = std::move(key);
    publishActivePeer(activePeer_ ? text(*activePeer_) : QString());
}

bool MacSession::approvePairing() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!channel_ || !channel_->approve()) {
        return false;
    }
    publishCanApprove(false);
    return true;
}

void MacSession::closeUnverified() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (channel_ && !channel_->isClosing()) {
        channel_->close(ConnectionEnd(ConnectionEnd::Case::verification),
                        SessionChannel::Cause::application);
    }
}

// Input policy.

void MacSession::updateInputState() {
    QUILLORY_CHECK_MAIN_THREAD();
    const bool enabled = activePeer_ && env_.controlPreferences.isEnabled(*activePeer_) &&
                         connected() && presence_->sessionActive() && presence_->awake() &&
                         !pencilTestActive() && inputAccessGranted();
    if (input_->controlDesktop() != enabled) {
        input_->setControlDesktop(enabled);
    }
    context_->refresh(false);
}

void MacSession::handleScreenChange() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (channel_) {
        channel_->setLocalDisplay(mainDisplaySize(env_.desktop));
    }
    if (!studio()->active() && env_.desktop) {
        // The uinput pen keeps the root size it was made with; only where input lands follows.
        input_->setTarget(DesktopInputTarget::mainDisplay(*env_.desktop));
    }
}

// The views' operations.

bool MacSession::inputAccessGranted() {
    QUILLORY_CHECK_MAIN_THREAD();
    const bool granted = env_.hasInputPermission && env_.hasInputPermission();
    if (accessFollower_) {
        accessFollower_->accessObserved(granted);
    }
    return granted;
}

void MacSession::requestInputAccess() {
    QUILLORY_CHECK_MAIN_THREAD();
    const bool granted = inputAccessGranted();
    if (!granted) {
        shell()->showPermissionGuide(SessionShell::PermissionKind::accessibility);
        setStatus(tr(inputAccessHint));
    }
    updateInputState();
}

void MacSession::setDesktopControl(bool enabled) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (activePeer_) {
        env_.controlPreferences.setEnabled(enabled, *activePeer_);
        updateInputState();
    }
    if (enabled) {
        requestInputAccess();
    }
}

bool MacSession::isDesktopControlEnabled(const QString& deviceKey) const {
    QUILLORY_CHECK_MAIN_THREAD();
    return env_.controlPreferences.isEnabled(deviceKey.toStdString());
}

void MacSession::setPencilTestActive(bool active) {
    QUILLORY_CHECK_MAIN_THREAD();
    publishPencilTestActive(active);
    updateInputState();
}

bool MacSession::isCurrent(const QString& deviceKey) const {
    QUILLORY_CHECK_MAIN_THREAD();
    const std::string key = deviceKey.toStdString();
    return (activePeer_ && key == *activePeer_) || (pendingPeer_ && key == *pendingPeer_);
}

bool MacSession::forget(const QString& deviceKey) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (isCurrent(deviceKey)) {
        disconnect();
    }
    if (!store_) {
        return false;
    }
    const std::string key = deviceKey.toStdString();
    if (auto error = store_->forget(key)) {
        sessionLog().error("The tablet could not be forgotten: %s", quillory::describe(*error));
        return false;
    }
    env_.controlPreferences.remove(key);
    publishStoreDevices();
    return true;
}

}  // namespace quillory
