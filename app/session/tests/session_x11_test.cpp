// The whole host in one process under Xvfb: the real listener, channels, input worker and XTest,
// with a pad-role channel as the tablet.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "app/desktop-control/menu/menu_command_reader.h"
#include "app/desktop-control/menu/tests/test_application.h"
#include "app/desktop-control/tests/worker_fixture.h"
#include "app/desktop-control/tests/x11_observer.h"
#include "app/session/mac_session.h"
#include "app/session/testing/fake_session.h"
#include "app/session/x11_foreground_events.h"
#include "platform/defaults/testing/memory_user_defaults.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/dispatch/testing/manual_executor.h"
#include "platform/input/desktop_control_access.h"
#include "platform/input/xtest_input_sink.h"
#include "platform/secrets/testing/memory_secret.h"

namespace quillory::testing {
namespace {

class NoAdvertiser final : public DnsSdAdvertiser {
  public:
    void advertise(DnsSdService) override {}
    void withdraw() override {}
};

class SessionOnXvfb : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) {
            GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
        }
        MainQueue::install(executor);
        ASSERT_TRUE(observer.connected());
        auto connected = X11Desktop::connect(nullptr);
        ASSERT_TRUE(connected) << connected.error();
        desktop = std::move(connected).value();
        window = observer.createWindow(100, 100, 600, 400);
        ASSERT_TRUE(waitUntilFrontmost(observer, *desktop, window));
        ASSERT_TRUE(desktop->raise(window));
        ASSERT_TRUE(observer.waitFor([&](const xcb_generic_event_t& event) {
            return type(event) == XCB_FOCUS_IN &&
                   reinterpret_cast<const xcb_focus_in_event_t&>(event).event == window;
        }));
        // The window manager names the active window only after it has moved the focus there:
        // a session started in between would take the desktop for the frontmost application.
        bool active = false;
        for (int attempt = 0; attempt < 100 && !active; ++attempt) {
            const auto front = desktop->frontmostApplication();
            active = front && front->windowID == window;
            if (!active) {
                observer.waitFor([](const xcb_generic_event_t&) { return true; }, 0.05);
            }
        }
        ASSERT_TRUE(active);

        MacSession::Environment env;
        env.listener =
            makeCompanionSessionListener([] { return std::make_unique<NoAdvertiser>(); });
        env.makeChannel = companionChannelFactory();
        env.openStore = [secret = std::make_shared<MemorySecret>()] {
            return DeviceTrustStore::open(secret);
        };
        env.input = DesktopInputEnvironment::system();
        auto keys = XTestInputSink::connect(nullptr);
        ASSERT_TRUE(keys) << keys.error();
        env.input.sink = std::move(keys).value();
        env.input.accessGranted = [] { return true; };
        env.controlPreferences = {std::make_shared<MemoryUserDefaults>()};
        env.hasInputPermission = [] { return true; };
        env.desktop = desktop;
        env.readMenuCommands = [](std::int32_t processID) {
            const DesktopControlAccess granted(
                {[] { return true; }, [] { return true; }, [] { return true; }});
            return MenuCommandReader::collectMenuCommands(processID, granted);
        };
        env.computerName = [] { return QStringLiteral("Test Host"); };
        env.foreground = std::make_shared<X11ForegroundEvents>();
        // The observer's windows carry this process's id: they must count as another application.
        env.ownProcessID = -1;
        env.followApplication = false;
        env.studio = new FakeStudio;
        session = MacSession::create(std::move(env));
    }
    void TearDown() override {
        if (pad) {
            pad->close(ConnectionEnd(ConnectionEnd::Case::stopped), PenChannel::Cause::application);
            pump([&] { return !session->connected(); });
        }
        session.reset();
        pad.reset();
        if (executor) {
            executor->runUntilIdle();
        }
    }

    // Runs the main queue and Qt's events until `done` holds; false after `seconds`.
    bool pump(const std::function<bool()>& done, double seconds = 20) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            executor->waitForWork(0.02);
            executor->runUntilIdle();
            QCoreApplication::processEvents();
        }
        return true;
    }

    void connectPad() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(session->listenerPort());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        auto padStore = DeviceTrustStore::open(std::make_shared<MemorySecret>()).store;
        pad = PenChannel::create(StreamConnection(fd), PenChannel::Role::pad, "Test Pad", padStore,
                                 Uuid::random(), std::nullopt, true);
        ASSERT_TRUE(pad);
        pad->onPairing = [this](const std::string&, const std::string&) { pad->approve(); };
        pad->onReady = [this] { padReady = true; };
        pad->onDesktopContext = [this](DesktopContext context) { contexts.push_back(context); };
        pad->onControls = [this](ControlsSignal signal) { controls.push_back(signal); };
        pad->start();
    }

    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    Observer observer;
    std::shared_ptr<X11Desktop> desktop;
    xcb_window_t window = 0;
    std::shared_ptr<MacSession> session;
    std::shared_ptr<PenChannel> pad;
    bool padReady = false;
    std::vector<DesktopContext> contexts;
    std::vector<ControlsSignal> controls;
};

TEST_F(SessionOnXvfb, APadPairsDrawsTapsAndListsMenus) {
    session->start();
    ASSERT_TRUE(pump([&] { return session->listening(); }));
    connectPad();
    ASSERT_TRUE(pump([&] { return !session->pairingCode().isEmpty(); }));
    EXPECT_TRUE(session->canApprove());
    EXPECT_TRUE(session->approvePairing());
    ASSERT_TRUE(pump([&] { return padReady && session->connected() && !contexts.empty(); }));
    EXPECT_EQ(session->connectionState(), MacConnectionState::connected);
    EXPECT_TRUE(session->input()->controlDesktop());
    const DesktopContext context = contexts.back();
    EXPECT_EQ(context.platform, DesktopContext::Platform::windows);
    EXPECT_EQ(context.applicationID, "Observer");
    EXPECT_TRUE(context.inputEnabled);

    pad->send(std::vector<PenSample>{sample(1, Phase::began, 0.3, 0.3),
                                     sample(2, Phase::moved, 0.35, 0.4),
                                     sample(3, Phase::ended, 0.35, 0.4)});
    pad->send(DesktopAction{.contextID = context.id,
                            .kind = DesktopAction::Kind::tap,
                            .keys = {DesktopKey::control, DesktopKey::a}});
    using Seen = std::tuple<int, int, int, int>;  // type, button or key, root x, y
    std::vector<Seen> seen;
    ASSERT_TRUE(observer.waitFor([&](const xcb_generic_event_t& generic) {
        const auto& event = reinterpret_cast<const xcb_key_press_event_t&>(generic);
        if (type(generic) >= XCB_KEY_PRESS && type(generic) <= XCB_BUTTON_RELEASE) {
            seen.emplace_back(type(generic), event.detail, event.root_x, event.root_y);
        }
        return seen.size() == 6;
    }));
    // The window manager's click-to-focus grab may hold button events back behind the keys.
    std::stable_partition(seen.begin(), seen.end(),
                          [](const Seen& s) { return std::get<0>(s) >= XCB_BUTTON_PRESS; });
    const Rect root = desktop->mainDisplay().value().bounds;
    const Point start = root.map(0.3, 0.3), end = root.map(0.35, 0.4);
    const int x = int(std::lround(end.x)), y = int(std::lround(end.y)), ctrl = KEY_LEFTCTRL + 8;
    EXPECT_EQ(seen, (std::vector<Seen>{
                        {XCB_BUTTON_PRESS, 1, int(std::lround(start.x)), int(std::lround(start.y))},
                        {XCB_BUTTON_RELEASE, 1, x, y},
                        {XCB_KEY_PRESS, ctrl, x, y},
                        {XCB_KEY_PRESS, KEY_A + 8, x, y},
                        {XCB_KEY_RELEASE, KEY_A + 8, x, y},
                        {XCB_KEY_RELEASE, ctrl, x, y},
                    }));

    // A menu-heavy application in front: its commands come in chunks, `final` on the last.
    const TestApplication application(MENU_TEST_GTK, {"--items", "300"});
    ASSERT_TRUE(application.isReady());
    std::optional<std::uint32_t> menuWindow;
    ASSERT_TRUE(pump([&] {
        for (const auto& candidate : desktop->windows().value_or(std::vector<WindowInfo>{})) {
            if (candidate.processID == application.processID) {
                menuWindow = candidate.id;
            }
        }
        return menuWindow.has_value();
    }));
    desktop->raise(*menuWindow);
    ASSERT_TRUE(pump([&] { return contexts.back().applicationID != "Observer"; }));
    ControlsSignal request;
    request.id = Uuid::random();
    request.kind = ControlsSignal::Kind::listCommands;
    request.applicationID = contexts.back().applicationID;
    // The program registers on the accessibility bus by itself; ask until its menus are listed.
    std::size_t listed = 0;
    bool asked = false;
    ASSERT_TRUE(pump(
        [&] {
            if (!asked) {
                controls.clear();
                pad->send(request);
                asked = true;
            }
            if (controls.empty() || controls.back().final != true) {
                return false;
            }
            for (const auto& answer : controls) {
                listed += answer.commands ? answer.commands->size() : 0;
            }
            asked = listed > 0;
            return asked;
        },
        60));
    EXPECT_EQ(listed, 314u);
    ASSERT_EQ(controls.size(), 3u);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(controls[i].id, request.id);
        EXPECT_EQ(controls[i].final, i == 2);
        EXPECT_LE(controls[i].commands->size(), 120u);
    }
}

}  // namespace
}  // namespace quillory::testing

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
