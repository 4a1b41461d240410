#include "app/session/mac_session.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/desktop-control/tests/worker_fixture.h"
#include "app/permissions/testing/fake_permission_probe.h"
#include "app/session/testing/fake_session.h"
#include "app/session/tests/session_fakes.h"
#include "core/link/testing/scripted_pad.h"
#include "platform/defaults/testing/memory_user_defaults.h"
#include "platform/desktop/testing/fake_desktop.h"
#include "platform/dispatch/testing/manual_executor.h"
#include "platform/secrets/testing/memory_secret.h"

namespace quillory::testing {
namespace {

using State = MacConnectionState;
using Case = ConnectionEnd::Case;
using Cause = SessionChannel::Cause;

const std::string storage =
    "Quillory couldn’t save device access. Unlock your device and try again.";

RememberedDevice tablet(const std::string& name) {
    const Uuid bytes = Uuid::random();
    return {Bytes(bytes.bytes().begin(), bytes.bytes().end()), name};
}

ApplicationInfo app(std::int32_t pid, std::string identifier, std::string name,
                    std::uint32_t window = 7) {
    return {pid, std::move(identifier), std::move(name), window};
}

class MacSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MainQueue::install(executor);
        store = DeviceTrustStore::open(secret).store;
        desktop->setFrontmost(app(500, "org.example.Editor", "Editor"));
        MacSession::Environment env;
        env.listener = listener;
        env.makeChannel = [this](StreamConnection connection, const std::string& name,
                                 std::shared_ptr<DeviceTrustStore> trust,
                                 const Uuid& intent) -> std::shared_ptr<SessionChannel> {
            channelNames.push_back(name);
            if (realChannels) {
                return companionChannelFactory()(std::move(connection), name, trust, intent);
            }
            if (!channelsWork) {
                return nullptr;
            }
            connections.push_back(std::move(connection));
            channels.push_back(std::make_shared<FakeChannel>());
            return channels.back();
        };
        env.openStore = [this]() -> DeviceTrustStore::Opened {
            ++storeOpens;
            if (storeFails) {
                return {nullptr, StoreError::unavailable};
            }
            return {store, std::nullopt};
        };
        env.input = testEnvironment(sink, clock, desktop);
        env.controlPreferences = {defaults};
        env.hasInputPermission = [this] {
            ++probes;
            return permission;
        };
        env.permissions = &permissions;
        env.grant = grant.get();
        env.uinputWritable = [this] { return uinputWritable; };
        env.input.openBackend = [this](Rect) {
            ++reopens;
            return InputBackend{reopened, {InputBackendKind::uinput, "reopened"}};
        };
        env.desktop = desktop;
        env.readMenuCommands = [this](std::int32_t pid) {
            menuPid = pid;
            return menu;
        };
        env.computerName = [this] { return computer; };
        env.login = login;
        env.foreground = foreground;
        env.icons = icons;
        auto fakeRecorder = std::make_unique<FakeRecorder>();
        recorder = fakeRecorder.get();
        env.recorder = std::move(fakeRecorder);
        env.studio = studio = new FakeStudio;
        env.shell = shell = new FakeShell;
        env.ownProcessID = 1;
        env.followApplication = false;
        session = MacSession::create(std::move(env));
    }
    void TearDown() override {
        icons->finishAll();
        session.reset();
        executor->runUntilIdle();
    }

    void listen() {
        session->start();
        listener->onReady();
    }
    FakeChannel& connect() {
        pairs.push_back(std::make_unique<SocketPair>());
        listener->onConnection(StreamConnection(pairs.back()->near));
        return *channels.back();
    }
    FakeChannel& connectVerified(const RememberedDevice& device, std::optional<Uuid> intent) {
        FakeChannel& channel = connect();
        if (intent) {
            channel.onPeer(device, *intent);
        }
        EXPECT_FALSE(store->remember(device));
        channel.onReady();
        return channel;
    }
    // Runs the work that other queues post back.
    void settle() {
        executor->waitForWork(5);
        executor->runUntilIdle();
    }
    // Studio's calls since the last look.
    QStringList studioCalls() {
        const QStringList all = studio->calls();
        const QStringList result = all.mid(studioSeen);
        studioSeen = static_cast<int>(all.size());
        return result;
    }
    int studioSeen = 0;

    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    std::shared_ptr<MemorySecret> secret = std::make_shared<MemorySecret>();
    std::shared_ptr<DeviceTrustStore> store;
    std::shared_ptr<FakeListener> listener = std::make_shared<FakeListener>();
    std::vector<std::shared_ptr<FakeChannel>> channels;
    std::vector<StreamConnection> connections;
    std::vector<std::unique_ptr<SocketPair>> pairs;
    std::vector<std::string> channelNames;
    bool channelsWork = true;
    bool realChannels = false;
    bool storeFails = false;
    int storeOpens = 0;
    std::shared_ptr<HookedSink> sink = std::make_shared<HookedSink>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(100'000'000'000);
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    std::shared_ptr<MemoryUserDefaults> defaults = std::make_shared<MemoryUserDefaults>();
    bool permission = true;
    int probes = 0;
    FakePermissionProbe permissions;
    std::unique_ptr<DesktopControlGrant> grant =
        std::make_unique<DesktopControlGrant>(DesktopControlGrant::Environment{
            .command = {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("exit 126")},
            .script = "/opt/quillory/grant"});
    bool uinputWritable = false;
    int reopens = 0;
    std::shared_ptr<RecordingInputSink> reopened = std::make_shared<RecordingInputSink>();
    std::vector<MenuCommand> menu;
    std::atomic<std::int32_t> menuPid{0};
    QString computer = QStringLiteral("Studio PC");
    std::shared_ptr<FakeLogin> login = std::make_shared<FakeLogin>();
    std::shared_ptr<FakeForeground> foreground = std::make_shared<FakeForeground>();
    std::shared_ptr<FakeIcons> icons = std::make_shared<FakeIcons>();
    FakeRecorder* recorder = nullptr;
    FakeStudio* studio = nullptr;
    FakeShell* shell = nullptr;
    std::shared_ptr<MacSession> session;
};

TEST_F(MacSessionTest, StartWaitsForAwakeAndTheActiveLoginSession) {
    login->onSleep(true);
    session->start();
    login->onSessionActive(false);
    login->onSleep(false);  // awake, but the login session is still away
    EXPECT_TRUE(listener->starts.empty());
    EXPECT_EQ(storeOpens, 0);

    login->onSessionActive(true);
    ASSERT_EQ(listener->starts.size(), 1u);
    EXPECT_EQ(listener->starts[0], std::make_pair(std::string("Studio PC"), store->fingerprint()));
    listener->onReady();
    EXPECT_TRUE(session->listening());
    EXPECT_EQ(session->status(), "Waiting for your iPad");

    computer.clear();
    session->start();
    EXPECT_EQ(listener->starts.back().first, "Mac");

    EXPECT_FALSE(session->systemShuttingDown());
    login->onShutdown();
    EXPECT_TRUE(session->systemShuttingDown());
}

TEST_F(MacSessionTest, AFailedTrustStoreShowsTheStorageTextAndIsNotRetried) {
    storeFails = true;
    session->start();
    EXPECT_EQ(session->connectionState(), State::failed);
    EXPECT_EQ(session->status().toStdString(), storage);
    EXPECT_EQ(session->failureMessage().toStdString(), storage);
    EXPECT_FALSE(session->listenerRecovery().isRetryPending());
    EXPECT_TRUE(listener->starts.empty());

    // A connection before the store exists is refused.
    SocketPair pair;
    listener->onConnection(StreamConnection(pair.near));
    EXPECT_TRUE(pair.nearClosed());
    EXPECT_TRUE(channels.empty());
}

TEST_F(MacSessionTest, ListenerFailuresAreRetried) {
    listener->error = "Address already in use";
    session->start();
    EXPECT_EQ(session->connectionState(), State::failed);
    EXPECT_EQ(session->failureMessage(), "Address already in use");
    EXPECT_TRUE(session->listenerRecovery().isRetryPending());
    listener->error.reset();
    executor->advance(60);
    EXPECT_EQ(listener->starts.size(), 2u);
    listener->onReady();
    EXPECT_EQ(session->connectionState(), State::idle);

    // A failure while running suspends first: the tablet sees an interruption.
    FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
    listener->onFailure("Network down");
    ASSERT_EQ(channel.closes.size(), 1u);
    EXPECT_EQ(channel.closes[0].first, ConnectionEnd(Case::interrupted));
    EXPECT_EQ(session->status(), "Network down");
    EXPECT_EQ(session->connectionState(), State::failed);
    EXPECT_TRUE(session->listenerRecovery().isRetryPending());
}

TEST_F(MacSessionTest, OneTabletAtATime) {
    listen();
    connect();
    EXPECT_EQ(channelNames, std::vector<std::string>{"Studio PC"});
    EXPECT_EQ(session->connectionState(), State::pairing);
    const QString status = session->status();
    SocketPair second;
    listener->onConnection(StreamConnection(second.near));
    EXPECT_TRUE(second.nearClosed());
    EXPECT_EQ(channels.size(), 1u);
    EXPECT_EQ(session->connectionState(), State::pairing);
    EXPECT_EQ(session->status(), status);

    // The listener's retry coming up while the channel exists leaves its state alone.
    listener->onReady();
    EXPECT_EQ(session->connectionState(), State::pairing);
    EXPECT_EQ(session->status(), status);
}

TEST_F(MacSessionTest, AChannelThatCannotBeMadeFails) {
    listen();
    channelsWork = false;
    SocketPair pair;
    listener->onConnection(StreamConnection(pair.near));
    EXPECT_TRUE(pair.nearClosed());
    EXPECT_EQ(session->connectionState(), State::failed);
    EXPECT_EQ(session->failureMessage().toStdString(), storage);
}

TEST_F(MacSessionTest, SuspendClosesAsInterruptedAndRemembersTheIntent) {
    struct Row {
        bool intent;
        bool recovering;
        QString studioReset;
    };
    for (const Row& row : {Row{true, true, "reset:true"}, Row{false, false, "reset:false"}}) {
        SCOPED_TRACE(row.intent);
        listen();
        const auto device = tablet("Pad");
        FakeChannel& channel =
            connectVerified(device, row.intent ? std::optional(Uuid::random()) : std::nullopt);
        studioCalls();
        login->onSleep(true);
        ASSERT_EQ(channel.closes.size(), 1u);
        EXPECT_EQ(channel.closes[0].first, ConnectionEnd(Case::interrupted));
        EXPECT_EQ(channel.closes[0].second, Cause::systemPaused);
        EXPECT_EQ(studioCalls(), QStringList{row.studioReset});
        EXPECT_EQ(session->recovering(), row.recovering);
        EXPECT_EQ(session->status(), "Waiting for your iPad");
        EXPECT_EQ(session->connectionState(), State::idle);
        EXPECT_FALSE(session->listening());
        EXPECT_FALSE(session->connected());
        EXPECT_GE(listener->stops, 1);

        // The closed channel's own end report changes nothing.
        channel.onEnded(ConnectionEnd(Case::verification));
        EXPECT_EQ(session->status(), "Waiting for your iPad");
        EXPECT_EQ(session->connectionState(), State::idle);
        login->onSleep(false);
    }
}

TEST_F(MacSessionTest, DisconnectRecordsTheStopOrReportsStorage) {
    listen();
    // Nothing connected: still "Disconnected", the listener keeps running.
    session->disconnect();
    EXPECT_EQ(session->status(), "Disconnected");
    EXPECT_EQ(listener->stops, 0);

    const auto device = tablet("Pad");
    const Uuid intent = Uuid::random();
    FakeChannel& first = connectVerified(device, intent);
    session->disconnect();
    EXPECT_TRUE(store->isStopped(device.id(), intent));
    EXPECT_EQ(first.stops, 1);
    EXPECT_EQ(session->status(), "Disconnected");
    EXPECT_TRUE(session->listening());

    // Failing either record stops the listener too.
    for (bool storeWriteFails : {true, false}) {
        SCOPED_TRACE(storeWriteFails);
        listen();
        FakeChannel& channel = connectVerified(device, Uuid::random());
        secret->failWrites = storeWriteFails;
        channel.stopAnswer = storeWriteFails;
        session->disconnect();
        secret->failWrites = false;
        EXPECT_EQ(channel.stops, 1);
        EXPECT_EQ(session->status().toStdString(), storage);
        EXPECT_FALSE(session->listening());
        EXPECT_EQ(session->connectionState(), State::idle);
        EXPECT_TRUE(session->activePeer().isEmpty());
        EXPECT_FALSE(session->channel());
    }
}

TEST_F(MacSessionTest, AnExplicitQuitStopsTheTabletWhileASystemQuitInterrupts) {
    for (bool explicitQuit : {true, false}) {
        SCOPED_TRACE(explicitQuit);
        listen();
        const auto device = tablet("Pad");
        const Uuid intent = Uuid::random();
        FakeChannel& channel = connectVerified(device, intent);
        studioCalls();
        session->stop(explicitQuit);
        EXPECT_EQ(store->isStopped(device.id(), intent), explicitQuit);
        if (explicitQuit) {
            EXPECT_EQ(channel.stops, 1);
            EXPECT_EQ(channel.stopWaits, std::vector<double>{0.5});
            EXPECT_TRUE(channel.closes.empty());
        } else {
            EXPECT_EQ(channel.stops, 0);
            ASSERT_EQ(channel.closes.size(), 1u);
            EXPECT_EQ(channel.closes[0].first, ConnectionEnd(Case::interrupted));
            EXPECT_EQ(channel.closes[0].second, Cause::systemPaused);
        }
        EXPECT_EQ(studioCalls(), QStringList{"reset:false"});
        EXPECT_EQ(session->status(), "Session stopped");
        EXPECT_EQ(session->connectionState(), State::idle);
        EXPECT_FALSE(session->listening());
    }
}

TEST_F(MacSessionTest, EveryEndWithAndWithoutAnIntent) {
    const std::string reconnecting = "Waiting for your iPad to reconnect…";
    struct Row {
        ConnectionEnd end;
        bool intent;
        std::string status;
        State state;
        bool recovering;
    };
    const Row rows[] = {
        {ConnectionEnd(Case::interrupted), true, reconnecting, State::idle, true},
        {ConnectionEnd(Case::interrupted), false, "Connection interrupted. Reconnecting…",
         State::failed, false},
        {ConnectionEnd(Case::stopped), true, "Disconnected", State::idle, false},
        {ConnectionEnd(Case::stopped), false, "Disconnected", State::idle, false},
        {ConnectionEnd(Case::identityChanged), true,
         "This computer has a different identity. Forget its saved pairing, then connect again.",
         State::failed, false},
        {ConnectionEnd(Case::verification), false,
         "The apps couldn’t verify this connection. Make sure both devices have the same "
         "Quillory version.",
         State::failed, false},
        {ConnectionEnd(Case::trustRequired), true, "Pair this device again to connect.",
         State::failed, false},
        {ConnectionEnd(Case::storage), false, storage, State::failed, false},
        {ConnectionEnd(Case::incompatible), true, "Update Quillory on both devices to connect.",
         State::failed, false},
        {ConnectionEnd::failure("Pairing expired."), false, "Pairing expired.", State::failed,
         false},
    };
    listen();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.status + (row.intent ? " with intent" : ""));
        const auto device = tablet("Pad");
        FakeChannel& channel =
            connectVerified(device, row.intent ? std::optional(Uuid::random()) : std::nullopt);
        studioCalls();
        const QString failureBefore = session->failureMessage();
        channel.onEnded(row.end);
        EXPECT_EQ(session->status().toStdString(), row.status);
        EXPECT_EQ(session->connectionState(), row.state);
        EXPECT_EQ(session->recovering(), row.recovering);
        EXPECT_EQ(studioCalls(), QStringList{row.recovering ? "reset:true" : "reset:false"});
        EXPECT_EQ(session->failureMessage().toStdString(),
                  row.state == State::failed ? row.status : failureBefore.toStdString());
        EXPECT_FALSE(session->channel());
        EXPECT_FALSE(session->connected());
        EXPECT_EQ(session->activePeer().isEmpty(), !row.end.isInterrupted() || !row.intent);
        session->disconnect();  // the next row starts from a clean slate
    }
}

TEST_F(MacSessionTest, CallbacksOfADroppedChannelChangeNothing) {
    listen();
    FakeChannel& old = connect();
    session->disconnect();
    FakeChannel& current = connect();
    old.onPairing("123456", "Old");
    old.onReady();
    old.onLatency(LinkLatency::measured(5));
    old.onEnded(ConnectionEnd(Case::verification));
    ControlsSignal request;
    request.kind = ControlsSignal::Kind::listCommands;
    old.onControls(request);
    EXPECT_EQ(session->pairingCode(), "");
    EXPECT_FALSE(session->connected());
    EXPECT_EQ(session->connectionState(), State::pairing);
    EXPECT_TRUE(old.controls().empty());
    EXPECT_TRUE(current.controls().empty());
    EXPECT_EQ(session->channel().get(), &current);
}

TEST_F(MacSessionTest, TheFirstVerifiedConnectionTurnsDesktopControlOnOnce) {
    listen();
    const auto fresh = tablet("Fresh");
    const auto declined = tablet("Declined");
    DesktopControlPreferences{defaults}.setEnabled(false, declined.id());
    connectVerified(fresh, Uuid::random());
    EXPECT_EQ(DesktopControlPreferences{defaults}.storedValue(fresh.id()), true);
    EXPECT_TRUE(session->input()->controlDesktop());
    session->disconnect();
    connectVerified(declined, Uuid::random());
    EXPECT_EQ(DesktopControlPreferences{defaults}.storedValue(declined.id()), false);
    EXPECT_FALSE(session->input()->controlDesktop());
}

// Access granted while the session runs: input moves onto uinput once, and a grant's end is
// enough for the session to look again.
TEST_F(MacSessionTest, InputFollowsAccessGrantedWhileRunning) {
    listen();
    permission = false;
    connectVerified(tablet("Pad"), Uuid::random());
    EXPECT_FALSE(session->input()->controlDesktop());
    permission = true;
    uinputWritable = true;
    probes = 0;
    QSignalSpy ended(grant.get(), &DesktopControlGrant::stateChanged);
    grant->start();
    ASSERT_TRUE(ended.wait());
    EXPECT_GE(probes, 1);
    EXPECT_EQ(reopens, 1);
    EXPECT_EQ(session->inputController().backend().kind, InputBackendKind::uinput);
    EXPECT_TRUE(session->input()->controlDesktop());
    session->updateInputState();
    EXPECT_EQ(reopens, 1);
    EXPECT_FALSE(permissions.relaunchNeeded());
}

TEST_F(MacSessionTest, MenuCommandsGoOutInChunks) {
    const std::size_t overhead = MenuCommand{"", {}, {}}.toJSON().dump().size();
    auto commands = [&](std::size_t count, std::size_t bytes) {
        return std::vector<MenuCommand>(count, MenuCommand{std::string(bytes - overhead, 'x')});
    };
    struct Row {
        std::vector<MenuCommand> menu;
        std::vector<std::size_t> chunks;
    };
    const Row rows[] = {
        {commands(250, 100), {120, 120, 10}},
        {commands(20, 900), {17, 3}},
        {{}, {0}},
    };
    listen();
    FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
    for (const Row& row : rows) {
        menu = row.menu;
        ControlsSignal request;
        request.id = Uuid::random();
        request.kind = ControlsSignal::Kind::listCommands;
        request.applicationID = "org.example.Editor";
        const std::size_t before = channel.controls().size();
        channel.onControls(request);
        settle();
        ASSERT_EQ(channel.controls().size() - before, row.chunks.size());
        for (std::size_t i = 0; i < row.chunks.size(); ++i) {
            const ControlsSignal& answer = channel.controls()[before + i];
            EXPECT_EQ(answer.id, request.id);
            EXPECT_EQ(answer.kind, ControlsSignal::Kind::commands);
            EXPECT_EQ(answer.applicationID, "org.example.Editor");
            EXPECT_EQ(answer.commands->size(), row.chunks[i]);
            EXPECT_EQ(answer.final, i + 1 == row.chunks.size());
        }
    }
    EXPECT_EQ(menuPid, 500);
}

TEST_F(MacSessionTest, ListCommandsReadsOnlyTheApplicationInFront) {
    const std::string longID = std::string(130, 'a') + "\x01";
    struct Row {
        std::optional<ApplicationInfo> front;
        std::optional<std::string> requested;
        std::string answeredID;
        bool read;
    };
    const Row rows[] = {
        {app(500, "org.example.Editor", "Editor"), std::nullopt, "desktop", false},
        {app(500, "org.example.Editor", "Editor"), "org.example.Other", "org.example.Other", false},
        {std::nullopt, "org.example.Editor", "org.example.Editor", false},
        {app(500, "", "Nameless"), "desktop", "desktop", false},
        {app(501, longID, "Long"), std::string(128, 'a'), std::string(128, 'a'), true},
    };
    listen();
    FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
    menu = {MenuCommand{"Open", {"File"}, {}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answeredID);
        desktop->setFrontmost(row.front);
        menuPid = 0;
        ControlsSignal request;
        request.kind = ControlsSignal::Kind::listCommands;
        request.applicationID = row.requested;
        channel.onControls(request);
        if (row.read) {
            settle();
        }
        ASSERT_FALSE(channel.controls().empty());
        const ControlsSignal& answer = channel.controls().back();
        EXPECT_EQ(answer.applicationID, row.answeredID);
        EXPECT_EQ(answer.commands->size(), row.read ? 1u : 0u);
        EXPECT_EQ(menuPid != 0, row.read);
    }
}

TEST_F(MacSessionTest, WithThisApplicationInFrontControlsServeTheContextsApplication) {
    listen();
    FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
    ASSERT_EQ(session->desktopContext()->applicationID, "org.example.Editor");
    // A click into the panel makes this application the frontmost one; the context stays.
    desktop->setFrontmost(app(1, "quillory", "Quillory"));
    session->updateInputState();
    ASSERT_EQ(session->desktopContext()->applicationID, "org.example.Editor");
    menu = {MenuCommand{"Open", {"File"}, {}}};

    ControlsSignal list;
    list.id = Uuid::random();
    list.kind = ControlsSignal::Kind::listCommands;
    list.applicationID = "org.example.Editor";
    channel.onControls(list);
    settle();
    EXPECT_EQ(menuPid, 500);
    EXPECT_EQ(channel.controls().back().commands, menu);

    ControlsSignal record;
    record.id = Uuid::random();
    record.kind = ControlsSignal::Kind::record;
    record.applicationID = "org.example.Editor";
    record.name = "Brush";
    channel.onControls(record);
    EXPECT_EQ(icons->imageProcesses, std::vector<std::int32_t>{500});
    EXPECT_EQ(session->recordingID(), record.id);
    recorder->stop(true);

    // Our own menus are never served, whatever the tablet asks for.
    list.applicationID = "quillory";
    menuPid = 0;
    channel.onControls(list);
    EXPECT_EQ(menuPid, 0);
    EXPECT_TRUE(channel.controls().back().commands->empty());
}

TEST_F(MacSessionTest, RecordingAChord) {
    listen();
    FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
    ASSERT_TRUE(session->desktopContext());
    auto request = [&](std::optional<std::string> applicationID) {
        ControlsSignal signal;
        signal.id = Uuid::random();
        signal.kind = ControlsSignal::Kind::record;
        signal.applicationID = std::move(applicationID);
        signal.name = "Editor";
        return signal;
    };

    // Another application than the one described: refused at once.
    const ControlsSignal mismatch = request("org.example.Other");
    channel.onControls(mismatch);
    EXPECT_EQ(channel.controls().back().kind, ControlsSignal::Kind::cancelRecording);
    EXPECT_EQ(channel.controls().back().id, mismatch.id);
    EXPECT_TRUE(recorder->names.empty());

    const ControlsSignal match = request("org.example.Editor");
    channel.onControls(match);
    ASSERT_EQ(recorder->names, std::vector<QString>{"Editor"});
    ControlsSignal foreign = match;
    foreign.kind = ControlsSignal::Kind::cancelRecording;
    foreign.id = Uuid::random();
    channel.onControls(foreign);
    EXPECT_EQ(session->recordingID(), match.id);
    recorder->pending(std::vector<DesktopKey>{DesktopKey::control, DesktopKey::s});
    EXPECT_EQ(channel.controls().back().kind, ControlsSignal::Kind::recorded);
    EXPECT_EQ(channel.controls().back().keys,
              (std::vector<DesktopKey>{DesktopKey::control, DesktopKey::s}));
    EXPECT_FALSE(session->recordingID());

    // The tablet's own cancel stops the recorder silently.
    const ControlsSignal cancelled = request("org.example.Editor");
    channel.onControls(cancelled);
    ControlsSignal cancel = cancelled;
    cancel.kind = ControlsSignal::Kind::cancelRecording;
    channel.onControls(cancel);
    EXPECT_FALSE(session->recordingID());
    EXPECT_EQ(recorder->stops.back(), false);

    // A result after the channel ended sends nothing.
    channel.onControls(request("org.example.Editor"));
    auto finish = recorder->pending;
    const std::size_t sent = channel.controls().size();
    channel.onEnded(ConnectionEnd(Case::stopped));
    finish(std::vector<DesktopKey>{DesktopKey::a});
    EXPECT_EQ(channel.controls().size(), sent);
    EXPECT_FALSE(session->recordingID());
}

TEST_F(MacSessionTest, DesktopInputIsOnOnlyWhenEveryConditionHolds) {
    listen();
    connectVerified(tablet("Pad"), Uuid::random());
    ASSERT_TRUE(session->input()->controlDesktop());
    struct Row {
        const char* condition;
        std::function<void(bool)> set;
    };
    const Row rows[] = {
        {"switch", [&](bool on) { session->setDesktopControl(on); }},
        {"pen test", [&](bool on) { session->setPencilTestActive(!on); }},
        {"login session", [&](bool on) { login->onSessionActive(on); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.condition);
        probes = 0;
        row.set(false);
        EXPECT_FALSE(session->input()->controlDesktop());
        EXPECT_EQ(probes, 0);
        row.set(true);
        if (session->connected()) {
            EXPECT_TRUE(session->input()->controlDesktop());
            EXPECT_GE(probes, 1);
        }
    }

    // Without access: off, and asking shows the guide and the hint.
    FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
    permission = false;
    session->updateInputState();
    EXPECT_FALSE(session->input()->controlDesktop());
    session->requestInputAccess();
    EXPECT_EQ(shell->calls(), QStringList{"showPermissionGuide:accessibility"});
    EXPECT_EQ(session->status(),
              "Allow Quillory desktop control access: write access to /dev/uinput through a udev "
              "rule.");
    permission = true;
    session->updateInputState();
    EXPECT_TRUE(session->input()->controlDesktop());
    EXPECT_TRUE(channel.contexts.back().inputEnabled);
}

TEST_F(MacSessionTest, ContextsAreSentOnlyWhenSomethingTheTabletUsesChanged) {
    listen();
    FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
    ASSERT_EQ(channel.contexts.size(), 1u);
    EXPECT_EQ(channel.contexts[0].platform, DesktopContext::Platform::windows);
    EXPECT_EQ(channel.contexts[0].applicationID, "org.example.Editor");
    icons->finish(0, iconBytes(64));
    settle();
    ASSERT_EQ(channel.contexts.size(), 2u);
    EXPECT_EQ(channel.contexts[1].id, channel.contexts[0].id);

    struct Row {
        const char* change;
        std::optional<ApplicationInfo> front;
        bool sent;
    };
    const Row rows[] = {
        {"another window of the same application", app(500, "org.example.Editor", "Editor", 8),
         false},
        {"its name alone", app(500, "org.example.Editor", "Editor 2"), false},
        {"this application itself", app(1, "quillory", "Quillory"), false},
        {"the same application under a new process", app(600, "org.example.Editor", "Editor"),
         true},
        {"no application", std::nullopt, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.change);
        desktop->setFrontmost(row.front);
        const std::size_t before = channel.contexts.size();
        foreground->onChange();
        EXPECT_EQ(channel.contexts.size() - before, row.sent ? 1u : 0u);
    }
    const auto& restarted = channel.contexts[channel.contexts.size() - 2];
    EXPECT_EQ(restarted.iconPNG, iconBytes(64));  // reused, not drawn again
    EXPECT_EQ(icons->requested(), 1u);
    const auto& desktopContext = channel.contexts.back();
    EXPECT_EQ(desktopContext.applicationID, "desktop");
    EXPECT_EQ(desktopContext.name, "Desktop");
    EXPECT_FALSE(desktopContext.iconPNG);

    // Names and identifiers are cut and cleaned.
    desktop->setFrontmost(app(700, std::string(200, 'i'), "\x07" + std::string(100, 'n'), 0));
    foreground->onChange();
    EXPECT_EQ(channel.contexts.back().applicationID, std::string(128, 'i'));
    EXPECT_EQ(channel.contexts.back().name, std::string(63, 'n'));
}

// A tablet that draws the moment the link is ready, over a real channel, with the host's main
// thread late: "saved" and the whole stroke reach the host in one read, before its main thread
// has set up input for the connection.
TEST_F(MacSessionTest, AStrokeDrawnTheMomentTheLinkIsReadyIsDrawn) {
    using Kind = SessionPayload::Kind;
    realChannels = true;
    listen();
    const auto until = [this](const std::function<bool()>& done) {
        for (int round = 0; round < 20 && !done(); ++round) {
            settle();
        }
        return done();
    };
    int drawn = 0;
    for (int run = 0; run < 50; ++run) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        listener->onConnection(StreamConnection(fds[0]));
        auto pad = std::make_unique<ScriptedPad>(fds[1]);
        if (run == 0) {
            const auto& key = pad->identity.publicKey();
            ASSERT_FALSE(store->remember({Bytes(key.begin(), key.end()), pad->name}));
        }
        ASSERT_TRUE(pad->handshake() && pad->expect(Kind::known) && pad->send(Kind::known) &&
                    pad->expect(Kind::saved));
        const auto line = [&](Kind kind, std::vector<PenSample> samples = {}) {
            SessionPayload payload;
            payload.kind = kind;
            if (!samples.empty()) {
                payload.samples = std::move(samples);
            }
            payload.counter = pad->sealer.next();
            return pad->sealedLine(payload.encode());
        };
        sink->recording.clear();
        std::string lines = line(Kind::saved);
        lines += line(Kind::input, {sample(1, Phase::began, 0.2, 0.2)});
        lines += line(Kind::input, {sample(2, Phase::moved, 0.3), sample(3, Phase::moved, 0.4)});
        lines += line(Kind::input, {sample(4, Phase::ended, 0.4)});
        ASSERT_TRUE(pad->raw.write(lines));
        ASSERT_TRUE(until([&] { return session->connected(); }));
        // The host has handled the ping once it answers, and with it every line before.
        ASSERT_TRUE(pad->receiveUntil(Kind::desktop));
        SessionPayload ping;
        ping.kind = Kind::ping;
        ping.probe = Uuid::random();
        ASSERT_TRUE(pad->sendPayload(ping) && pad->receiveUntil(Kind::pong));
        session->inputController().worker()->drain();
        const auto kinds = types(sink->recording.events());
        drawn += std::count(kinds.begin(), kinds.end(), T::leftMouseDown) == 1 &&
                 std::count(kinds.begin(), kinds.end(), T::leftMouseUp) == 1;
        pad.reset();
        ASSERT_TRUE(until([&] { return !session->channel(); }));
    }
    EXPECT_EQ(drawn, 50);
}

TEST_F(MacSessionTest, ATabletConnectingWhileOurWindowIsInFrontGetsTheDesktop) {
    listen();
    desktop->setFrontmost(app(1, "quillory", "Quillory"));
    FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
    ASSERT_EQ(channel.contexts.size(), 1u);
    EXPECT_EQ(channel.contexts[0].applicationID, "desktop");
    EXPECT_EQ(channel.contexts[0].name, "Desktop");
}

TEST_F(MacSessionTest, TheWorkerKnowsTheContextBeforeTheTabletDoes) {
    listen();
    FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
    desktop->setFrontmost(app(800, "org.example.Paint", "Paint"));
    foreground->onChange();
    const DesktopContext context = channel.contexts.back();
    sink->recording.clear();
    channel.actionReceiver({.contextID = context.id,
                            .kind = DesktopAction::Kind::tap,
                            .keys = {DesktopKey::control, DesktopKey::a}});
    session->inputController().worker()->drain();
    EXPECT_GT(sink->recording.count(), 0u);
}

TEST_F(MacSessionTest, LateIconsApplyOnlyToTheirOwnCurrentContext) {
    struct Row {
        const char* race;
        std::function<void(FakeChannel&)> meanwhile;
        std::optional<Bytes> png;
        bool applied;
    };
    const Row rows[] = {
        {"valid", [](FakeChannel&) {}, iconBytes(64), true},
        {"context replaced",
         [&](FakeChannel&) {
             desktop->setFrontmost(app(900, "org.example.Other", "Other", 0));
             foreground->onChange();
         },
         iconBytes(64), false},
        {"disconnected", [&](FakeChannel&) { session->disconnect(); }, iconBytes(64), false},
        {"not a valid icon", [](FakeChannel&) {}, iconBytes(200), false},
        {"nothing drawn", [](FakeChannel&) {}, std::nullopt, false},
    };
    listen();
    std::size_t index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.race);
        desktop->setFrontmost(app(500, "org.example.Editor", "Editor"));
        FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
        ASSERT_EQ(icons->requested(), index + 1);
        row.meanwhile(channel);
        const std::size_t before = channel.contexts.size();
        icons->finish(index++, row.png);
        settle();
        EXPECT_EQ(channel.contexts.size() - before, row.applied ? 1u : 0u);
        if (session->desktopContext()) {
            EXPECT_EQ(session->desktopContext()->iconPNG.has_value(), row.applied);
        }
        session->disconnect();
    }
}

TEST_F(MacSessionTest, StudioSignalsAndTheAddressFollowTheCurrentChannel) {
    const StudioSignal signal{.id = Uuid::random(), .kind = StudioSignal::Kind::stop};
    // Without a link a signal is dropped and there is no address.
    studio->send(signal);
    EXPECT_FALSE(studio->localAddress());

    listen();
    FakeChannel& first = connect();
    first.address = "192.168.1.20";
    studio->send(signal);
    EXPECT_EQ(first.studioSent.size(), 1u);
    EXPECT_EQ(studio->localAddress(), std::optional<std::string>("192.168.1.20"));

    session->disconnect();
    executor->runUntilIdle();
    studio->send(signal);
    EXPECT_EQ(first.studioSent.size(), 1u);
    EXPECT_FALSE(studio->localAddress());
}

TEST_F(MacSessionTest, ForgettingATablet) {
    listen();
    const auto current = tablet("Current");
    const auto other = tablet("Other");
    ASSERT_FALSE(store->remember(other));
    FakeChannel& channel = connectVerified(current, Uuid::random());
    EXPECT_EQ(session->savedDevices()->rowCount(), 2);
    EXPECT_TRUE(session->isCurrent(QString::fromStdString(current.id())));

    EXPECT_TRUE(session->forget(QString::fromStdString(current.id())));
    EXPECT_EQ(channel.stops, 1);
    EXPECT_EQ(session->status(), "Disconnected");
    EXPECT_FALSE(DesktopControlPreferences{defaults}.storedValue(current.id()));
    EXPECT_EQ(session->savedDevices()->rowCount(), 1);

    DesktopControlPreferences{defaults}.setEnabled(true, other.id());
    secret->failWrites = true;
    EXPECT_FALSE(session->forget(QString::fromStdString(other.id())));
    EXPECT_EQ(DesktopControlPreferences{defaults}.storedValue(other.id()), true);
    EXPECT_EQ(session->savedDevices()->rowCount(), 1);
}

TEST_F(MacSessionTest, AScreenChangeRetargetsInputOnlyWhileStudioIsIdle) {
    listen();
    FakeChannel& channel = connectVerified(tablet("Pad"), Uuid::random());
    ASSERT_EQ(channel.displays.back(), (DisplayGeometry{1920, 1080}));
    auto landing = [&] {
        sink->recording.clear();
        static std::uint64_t sequence = 0;
        channel.samplesReceiver({sample(++sequence, Phase::hover, 1, 1)});
        session->inputController().worker()->drain();
        const auto events = sink->recording.events();
        return events.empty() ? Point{-1, -1} : events.back().location;
    };
    desktop->setDisplays({{.id = 2, .bounds = {100, 50, 1000, 500}, .primary = true}});
    session->handleScreenChange();
    EXPECT_EQ(channel.displays.back(), (DisplayGeometry{1000, 500}));
    EXPECT_EQ(landing(), (Point{1099, 549}));

    studio->publishActive(true);
    // Display 2 stays as it was, so Studio's target on it stays valid.
    desktop->setDisplays({{.id = 3, .bounds = {0, 0, 800, 600}, .primary = true},
                          {.id = 2, .bounds = {100, 50, 1000, 500}}});
    session->handleScreenChange();
    EXPECT_EQ(channel.displays.back(), (DisplayGeometry{800, 600}));
    EXPECT_EQ(landing(), (Point{1099, 549}));
}

TEST_F(MacSessionTest, ApprovalAndFailureMessageFollowTheChannel) {
    listen();
    FakeChannel& channel = connect();
    EXPECT_FALSE(session->canApprove());
    channel.onPairing("123456", "Pad");
    EXPECT_TRUE(session->canApprove());
    EXPECT_EQ(session->pairingCode(), "123456");
    EXPECT_TRUE(session->approvePairing());
    EXPECT_FALSE(session->canApprove());

    session->disconnect();
    FakeChannel& refused = connect();
    channel.onPairing("111111", "Pad");  // stale: nothing
    EXPECT_FALSE(session->canApprove());
    refused.onPairing("654321", "Pad");
    refused.approveAnswer = false;
    EXPECT_FALSE(session->approvePairing());
    EXPECT_TRUE(session->canApprove());
    session->closeUnverified();
    session->closeUnverified();  // already closing: once only
    ASSERT_EQ(refused.closes.size(), 1u);
    EXPECT_EQ(refused.closes[0].first, ConnectionEnd(Case::verification));
    refused.onEnded(ConnectionEnd(Case::verification));
    EXPECT_FALSE(session->canApprove());
    const QString failure = session->failureMessage();
    EXPECT_FALSE(failure.isEmpty());

    // The access hint goes to the status, never to the failure message.
    permission = false;
    session->requestInputAccess();
    EXPECT_EQ(session->failureMessage(), failure);
    EXPECT_NE(session->status(), failure);
}

// An interrupted tablet A, then tablet B pairing: cancelling or forgetting B must not record
// A's intent as stopped, or A's next reconnect would be refused.
TEST_F(MacSessionTest, AnotherTabletTakesOverTheInterruptedOnesPeer) {
    listen();
    const auto a = tablet("A");
    const Uuid intentA = Uuid::random();
    FakeChannel& first = connectVerified(a, intentA);
    first.onEnded(ConnectionEnd(Case::interrupted));
    ASSERT_TRUE(session->recovering());

    const auto b = tablet("B");
    FakeChannel& second = connect();
    second.onPeer(b, Uuid::random());
    EXPECT_TRUE(session->activePeer().isEmpty());
    EXPECT_FALSE(session->isCurrent(QString::fromStdString(a.id())));
    session->disconnect();
    EXPECT_FALSE(store->isStopped(a.id(), intentA));

    // The same tablet coming back keeps its intent.
    FakeChannel& again = connectVerified(a, intentA);
    again.onEnded(ConnectionEnd(Case::interrupted));
    FakeChannel& back = connect();
    back.onPeer(a, intentA);
    EXPECT_EQ(session->activePeer().toStdString(), a.id());
    session->disconnect();
    EXPECT_TRUE(store->isStopped(a.id(), intentA));
}

}  // namespace
}  // namespace quillory::testing
