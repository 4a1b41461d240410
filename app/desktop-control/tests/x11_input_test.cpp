// Desktop input against a real X server (Xvfb with openbox): what an independent client sees.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>

#include "app/desktop-control/desktop_input_controller.h"
#include "app/desktop-control/desktop_pen_indicator.h"
#include "app/desktop-control/tests/worker_fixture.h"
#include "app/desktop-control/tests/x11_observer.h"
#include "platform/desktop/root_window_watcher.h"
#include "platform/desktop/x11_connection.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"
#include "platform/input/input_backend.h"
#include "platform/input/uinput_frame_writer.h"
#include "platform/input/uinput_input_sink.h"
#include "platform/input/xtest_input_sink.h"
#include "platform/keyboard/key_repeat_control.h"

namespace quillory::testing {
namespace {

// A Qt application on the X server for the windows a test shows, and a main queue run by hand.
struct GuiApplication {
    explicit GuiApplication(const char* scaleFactor = nullptr) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        if (scaleFactor) {
            qputenv("QT_SCALE_FACTOR", scaleFactor);
        }
        application.emplace(argc, argv);
        qunsetenv("QT_SCALE_FACTOR");
        MainQueue::install(std::make_shared<ManualExecutor>());
    }
    int argc = 1;
    char name[26] = "desktop_control_x11_tests";
    char* argv[2] = {name, nullptr};
    std::optional<QGuiApplication> application;
};

class X11Input : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) {
            GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
        }
        ASSERT_TRUE(observer.connected());
        auto connected = X11Desktop::connect(nullptr);
        ASSERT_TRUE(connected) << connected.error();
        desktop = std::move(connected).value();
        back = observer.createWindow(100, 100, 600, 400);
        ASSERT_TRUE(waitUntilFrontmost(observer, *desktop, back));
        front = observer.createWindow(150, 150, 200, 150);
        ASSERT_TRUE(waitUntilFrontmost(observer, *desktop, front));
    }

    std::shared_ptr<DesktopInputWorker> makeWorker(std::shared_ptr<InputEventSink> sink) {
        auto worker = DesktopInputWorker::create(
            testEnvironment(std::move(sink), std::make_shared<SystemClock>(), desktop));
        worker->attach(connection);
        worker->configure([&] {
            worker->setTarget({.bounds = frame(back), .windowID = back, .processID = getpid()});
            worker->setForeground(getpid(), context);
            worker->setEnabled(true);
        });
        return worker;
    }
    Rect frame(xcb_window_t window) const { return windowInfo(*desktop, window).value().frame; }

    Observer observer;
    std::shared_ptr<X11Desktop> desktop;
    xcb_window_t back = 0, front = 0;
    Uuid connection = Uuid::random(), context = Uuid::random();
};

TEST_F(X11Input, APointUnderAnotherWindowIsRefused) {
    const DesktopInputTarget target{.bounds = frame(back), .windowID = back, .processID = getpid()};
    const auto occluders = target.occluders(getpid(), *desktop);
    ASSERT_TRUE(occluders);
    EXPECT_NE(std::find(occluders->begin(), occluders->end(), frame(front)), occluders->end());
    auto sink = std::make_shared<RecordingInputSink>();
    auto worker = makeWorker(sink);
    const Rect b = frame(back), f = frame(front);
    worker->submit({sample(1, Phase::began, (f.x + f.width / 2 - b.x) / (b.width - 1),
                           (f.y + f.height / 2 - b.y) / (b.height - 1))},
                   connection);
    worker->drain();
    EXPECT_EQ(sink->count(), 0u);
    worker->submit({sample(2, Phase::began, 0.9, 0.9)}, connection);
    worker->drain();
    EXPECT_TRUE(sink->buttonDown());
    worker->shutdown();
    EXPECT_TRUE(desktop->raise(back));
    ASSERT_TRUE(waitUntilFrontmost(observer, *desktop, back));
    EXPECT_EQ(target.occluders(getpid(), *desktop), std::vector<Rect>{});
    EXPECT_EQ(desktop->mainDisplay().value().bounds, desktop->rootBounds());  // one RandR monitor
}

// A stroke moves the real pointer to the mapped points and clicks button 1; a control+a tap
// reaches the focused window as its key events.
TEST_F(X11Input, XTestPointsClicksAndTypes) {
    auto connected = XTestInputSink::connect(nullptr);
    ASSERT_TRUE(connected) << connected.error();
    std::shared_ptr<InputEventSink> xtest = std::move(connected).value();
    if (access(UinputInputSink::path, W_OK) != 0) {
        EXPECT_EQ(openInputBackend(desktop->rootBounds()).status.kind, InputBackendKind::xtest);
    }
    ASSERT_TRUE(desktop->raise(back));
    ASSERT_TRUE(observer.waitFor([&](const xcb_generic_event_t& event) {
        return type(event) == XCB_FOCUS_IN &&
               reinterpret_cast<const xcb_focus_in_event_t&>(event).event == back;
    }));
    ASSERT_TRUE(waitUntilFrontmost(observer, *desktop, back));
    auto worker = makeWorker(xtest);
    worker->submit({sample(1, Phase::began, 0.5, 0.5), sample(2, Phase::moved, 0.55, 0.6),
                    sample(3, Phase::moved, 0.6, 0.7), sample(4, Phase::ended, 0.6, 0.7)},
                   connection);
    worker->submit(
        DesktopAction{.contextID = context, .keys = {DesktopKey::control, DesktopKey::a}},
        connection);
    worker->drain();
    using Seen = std::tuple<int, int, int, int, bool>;  // type, button or key, root x, y, control
    std::vector<Seen> seen;
    ASSERT_TRUE(observer.waitFor([&](const xcb_generic_event_t& generic) {
        // Button and key events share one layout.
        const auto& event = reinterpret_cast<const xcb_key_press_event_t&>(generic);
        if (type(generic) >= XCB_KEY_PRESS && type(generic) <= XCB_BUTTON_RELEASE) {
            seen.emplace_back(type(generic), event.detail, event.root_x, event.root_y,
                              (event.state & XCB_MOD_MASK_CONTROL) != 0);
        }
        return seen.size() == 6;
    }));
    // The window manager's click-to-focus grab may hold button events back behind the keys.
    std::stable_partition(seen.begin(), seen.end(),
                          [](const Seen& s) { return std::get<0>(s) >= XCB_BUTTON_PRESS; });
    const Point start = frame(back).map(0.5, 0.5), end = frame(back).map(0.6, 0.7);
    const int x = int(std::lround(end.x)), y = int(std::lround(end.y)), ctrl = KEY_LEFTCTRL + 8;
    EXPECT_EQ(
        seen,
        (std::vector<Seen>{
            {XCB_BUTTON_PRESS, 1, int(std::lround(start.x)), int(std::lround(start.y)), false},
            {XCB_BUTTON_RELEASE, 1, x, y, false},
            {XCB_KEY_PRESS, ctrl, x, y, false},
            {XCB_KEY_PRESS, KEY_A + 8, x, y, true},
            {XCB_KEY_RELEASE, KEY_A + 8, x, y, true},
            {XCB_KEY_RELEASE, ctrl, x, y, true},
        }));
    worker->shutdown();
    EXPECT_EQ(desktop->frontmostApplication().value().name, "Observer");
}

// The server repeats a held key, injected ones too: a chord held from the tablet for 1.5 s reaches
// a client as one press and one release per key, and each key repeats as before afterwards.
TEST_F(X11Input, AHeldChordIsOneKeyDown) {
    const auto backend = openInputBackend(desktop->rootBounds());
    ASSERT_NE(backend.status.kind, InputBackendKind::none) << backend.status.reason;
    auto connected = KeyRepeatControl::connect(nullptr, "/nonexistent/record");
    ASSERT_TRUE(connected) << connected.error();
    auto probe = std::move(connected).value();
    ASSERT_TRUE(probe->repeats(KEY_SPACE) && probe->repeats(KEY_A));
    ASSERT_TRUE(desktop->raise(back));
    ASSERT_TRUE(observer.waitFor([&](const xcb_generic_event_t& event) {
        return type(event) == XCB_FOCUS_IN &&
               reinterpret_cast<const xcb_focus_in_event_t&>(event).event == back;
    }));
    auto worker = makeWorker(backend.sink);
    const Uuid token = Uuid::random();
    worker->submit(DesktopAction{.contextID = context,
                                 .kind = DesktopAction::Kind::begin,
                                 .token = token,
                                 .keys = {DesktopKey::space, DesktopKey::a}},
                   connection);
    std::map<int, std::pair<int, int>> seen;  // key → presses, releases
    const auto count = [&](const xcb_generic_event_t& event) {
        const auto key = reinterpret_cast<const xcb_key_press_event_t&>(event).detail;
        if (type(event) == XCB_KEY_PRESS) {
            ++seen[key].first;
        } else if (type(event) == XCB_KEY_RELEASE) {
            ++seen[key].second;
        }
        return seen[KEY_SPACE + 8].second == 1 && seen[KEY_A + 8].second == 1;
    };
    observer.waitFor(count, 1.5);  // the hold itself: the server would repeat after 0.66 s
    worker->submit(
        DesktopAction{.contextID = context, .kind = DesktopAction::Kind::end, .token = token},
        connection);
    observer.waitFor(count);
    EXPECT_EQ(seen,
              (std::map<int, std::pair<int, int>>{{KEY_SPACE + 8, {1, 1}}, {KEY_A + 8, {1, 1}}}));
    worker->shutdown();
    EXPECT_TRUE(probe->repeats(KEY_SPACE));
    EXPECT_TRUE(probe->repeats(KEY_A));
}

// Xvfb's one output already spans its largest root: a smaller root needs that output off, and
// it is put back as it was.
class ScreenResizer {
  public:
    ScreenResizer() {
        x11_ = X11Connection::open(nullptr).value();
        resources_ = xcb_randr_get_screen_resources_reply(
            c(), xcb_randr_get_screen_resources(c(), x11_.screen->root), nullptr);
        crtc_ = *xcb_randr_get_screen_resources_crtcs(resources_);
        info_ = xcb_randr_get_crtc_info_reply(
            c(), xcb_randr_get_crtc_info(c(), crtc_, resources_->config_timestamp), nullptr);
        width_ = x11_.screen->width_in_pixels;
        height_ = x11_.screen->height_in_pixels;
    }
    ~ScreenResizer() {
        if (shrunk_) {
            setSize(width_, height_);
            std::free(xcb_randr_set_crtc_config_reply(
                c(),
                xcb_randr_set_crtc_config(c(), crtc_, XCB_CURRENT_TIME, XCB_CURRENT_TIME, info_->x,
                                          info_->y, info_->mode, info_->rotation,
                                          static_cast<std::uint32_t>(info_->num_outputs),
                                          xcb_randr_get_crtc_info_outputs(info_)),
                nullptr));
        }
        std::free(info_);
        std::free(resources_);
        xcb_disconnect(x11_.connection);
    }
    bool shrink(Rect area) {
        std::free(xcb_randr_set_crtc_config_reply(
            c(),
            xcb_randr_set_crtc_config(c(), crtc_, XCB_CURRENT_TIME, XCB_CURRENT_TIME, 0, 0,
                                      XCB_NONE, XCB_RANDR_ROTATION_ROTATE_0, 0, nullptr),
            nullptr));
        shrunk_ = true;
        return setSize(static_cast<std::uint16_t>(area.width),
                       static_cast<std::uint16_t>(area.height));
    }

  private:
    xcb_connection_t* c() const { return x11_.connection; }
    bool setSize(std::uint16_t width, std::uint16_t height) {
        // About 100 dpi.
        auto* failure = xcb_request_check(
            c(), xcb_randr_set_screen_size_checked(c(), x11_.screen->root, width, height,
                                                   width / 4u, height / 4u));
        std::free(failure);
        return failure == nullptr;
    }

    X11Connection x11_;
    xcb_randr_get_screen_resources_reply_t* resources_ = nullptr;
    xcb_randr_crtc_t crtc_ = 0;
    xcb_randr_get_crtc_info_reply_t* info_ = nullptr;
    std::uint16_t width_ = 0, height_ = 0;
    bool shrunk_ = false;
};

// A RandR resize of the real server: the watcher reports it, the controller gives the pen its
// new area, and the next frames span the new root.
TEST_F(X11Input, ThePenAreaFollowsARootResize) {
    GuiApplication gui;
    ScreenResizer resizer;
    auto environment = testEnvironment(nullptr, std::make_shared<SystemClock>(), nullptr);
    auto watcher = RootWindowWatcher::open(nullptr, {});
    ASSERT_TRUE(watcher) << watcher.error();
    environment.rootArea = std::move(watcher).value();
    const Rect original = environment.rootArea->area();
    const Rect resized{0, 0, original.width - 256, original.height - 32};
    auto sink = std::make_shared<RecordingInputSink>();
    auto fake = std::make_shared<FakeDesktop>();
    fake->setDisplays({{.id = 1, .bounds = resized, .primary = true}});
    environment.sink = sink;
    environment.desktop = fake;
    {
        DesktopInputController controller(std::move(environment));
        const auto worker = controller.worker();
        worker->attach(connection);
        worker->configure([&] {
            worker->setEnabled(true);
            worker->setTarget(DesktopInputTarget::mainDisplay(*fake));
        });
        ASSERT_TRUE(resizer.shrink(resized));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (sink->areas().empty() && std::chrono::steady_clock::now() < deadline) {
            gui.application->processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        ASSERT_EQ(sink->areas().size(), 1u);
        const Rect area = sink->areas()[0].second;
        EXPECT_EQ(area, resized);
        worker->submit({sample(1, Phase::hover, 1.0, 1.0)}, connection);
        worker->drain();
        // The pen enters at the new root's far corner, the last value of the new device's range.
        UinputFrameWriter writer(-1, -1, area);
        const auto& frame = writer.encode(sink->events().at(0));
        ASSERT_GE(frame.size(), 2u);
        EXPECT_EQ(frame[0].value, int(resized.width) - 1);
        EXPECT_EQ(frame[1].value, int(resized.height) - 1);
    }
}

// On a display scaled by 2 the ring still sits on the root pixel it is given, drawn at twice the
// pixels of its logical size, as every other window there.
TEST_F(X11Input, ThePenMarkerSitsOnItsPointOnAScaledDisplay) {
    GuiApplication gui("2");
    ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
    DesktopPenIndicator indicator;
    const Point point{401, 299};
    indicator.show(point);
    gui.application->processEvents();
    // Qt places windows on whole logical pixels: two root pixels here.
    EXPECT_NEAR(indicator.centre().x, point.x, 1);
    EXPECT_NEAR(indicator.centre().y, point.y, 1);
    const auto windows = QGuiApplication::topLevelWindows();
    ASSERT_EQ(windows.size(), 1);
    const auto opened = X11Connection::open(nullptr);
    ASSERT_TRUE(opened) << opened.error();
    const X11Connection& x11 = opened.value();
    const auto window = static_cast<xcb_window_t>(windows.front()->winId());
    xcb_flush(x11.connection);
    auto* geometry =
        xcb_get_geometry_reply(x11.connection, xcb_get_geometry(x11.connection, window), nullptr);
    auto* origin = xcb_translate_coordinates_reply(
        x11.connection, xcb_translate_coordinates(x11.connection, window, x11.screen->root, 0, 0),
        nullptr);
    ASSERT_TRUE(geometry && origin);
    const int side = 2 * DesktopPenIndicator::side;
    EXPECT_EQ(geometry->width, side);
    EXPECT_EQ(geometry->height, side);
    EXPECT_NEAR(origin->dst_x + side / 2, point.x, 1);
    EXPECT_NEAR(origin->dst_y + side / 2, point.y, 1);
    std::free(geometry);
    std::free(origin);
    xcb_disconnect(x11.connection);
}

// The pen marker never takes a click, nor counts as a window in front of the one drawn on.
TEST_F(X11Input, ThePenMarkerLetsClicksThroughAndHidesNothing) {
    GuiApplication gui;
    const Point centre = frame(front).map(0.5, 0.5);
    DesktopPenIndicator indicator;
    indicator.show(centre);
    gui.application->processEvents();
    ASSERT_TRUE(indicator.isVisible());
    EXPECT_EQ(indicator.centre(), (Point{std::round(centre.x), std::round(centre.y)}));
    const DesktopInputTarget target{
        .bounds = frame(front), .windowID = front, .processID = getpid()};
    EXPECT_EQ(target.occluders(getpid(), *desktop), std::vector<Rect>{});
    auto connected = XTestInputSink::connect(nullptr);
    ASSERT_TRUE(connected) << connected.error();
    auto xtest = std::move(connected).value();
    InputEvent click{.type = InputEventType::leftMouseDown, .location = {centre.x + 12, centre.y}};
    xtest->post(click);  // on the ring itself
    click.type = InputEventType::leftMouseUp;
    xtest->post(click);
    xtest->flush();
    xcb_window_t clicked = 0;
    EXPECT_TRUE(observer.waitFor([&](const xcb_generic_event_t& event) {
        clicked = reinterpret_cast<const xcb_button_press_event_t&>(event).event;
        return type(event) == XCB_BUTTON_PRESS;
    }));
    EXPECT_EQ(clicked, front);
    EXPECT_EQ(desktop->frontmostApplication()->windowID, front);
}

}  // namespace
}  // namespace quillory::testing
