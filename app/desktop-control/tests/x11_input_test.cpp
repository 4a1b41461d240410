// Desktop input against a real X server (Xvfb with openbox): what an independent client sees.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "app/desktop-control/desktop_pen_indicator.h"
#include "app/desktop-control/tests/worker_fixture.h"
#include "platform/desktop/x11_connection.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_main_executor.h"
#include "platform/input/input_backend.h"
#include "platform/input/uinput_input_sink.h"
#include "platform/input/xtest_input_sink.h"

namespace quillory::testing {
namespace {

inline std::uint8_t type(const xcb_generic_event_t& event) {
    return event.response_type & 0x7f;
}

// A separate connection that owns windows and watches what reaches them.
class Observer {
  public:
    Observer() {
        std::string error;
        x11_ = X11Connection::open(nullptr, error);
    }
    ~Observer() {
        if (x11_.connection) {
            xcb_disconnect(x11_.connection);
        }
    }
    bool connected() const { return x11_.connection != nullptr; }

    // A mapped window at a user-given position (which the window manager honours), owned by
    // this process, of class "Observer".
    xcb_window_t createWindow(std::int16_t x, std::int16_t y, std::uint16_t width,
                              std::uint16_t height) {
        xcb_connection_t* c = x11_.connection;
        const xcb_window_t window = xcb_generate_id(c);
        const std::uint32_t mask = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                   XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                   XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, x11_.screen->root, x, y, width, height,
                          0, XCB_WINDOW_CLASS_INPUT_OUTPUT, x11_.screen->root_visual,
                          XCB_CW_EVENT_MASK, &mask);
        const std::uint32_t hints[18] = {1 | 2, std::uint32_t(x), std::uint32_t(y), width, height};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                            XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
        const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
        auto* pidAtom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 11, "_NET_WM_PID"), nullptr);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, pidAtom->atom, XCB_ATOM_CARDINAL, 32,
                            1, &pid);
        std::free(pidAtom);
        const char wmClass[] = "observer\0Observer";
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            sizeof wmClass, wmClass);
        xcb_map_window(c, window);
        xcb_flush(c);
        return window;
    }

    // Reads events until `done` holds for one of them; false after `seconds` without it.
    bool waitFor(const std::function<bool(const xcb_generic_event_t&)>& done, double seconds = 20) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(x11_.connection)) {
                const bool found = done(*event);
                std::free(event);
                if (found) {
                    return true;
                }
            }
            pollfd descriptor{xcb_get_file_descriptor(x11_.connection), POLLIN, 0};
            ::poll(&descriptor, 1, 50);
        }
        return false;
    }

  private:
    X11Connection x11_;
};

// The window manager lists a window once it has framed it; true when `window` is frontmost.
inline bool waitUntilFrontmost(Observer& observer, const Desktop& desktop, xcb_window_t window) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (const auto windows = desktop.windows();
            windows && !windows->empty() && windows->front().id == window) {
            return true;
        }
        observer.waitFor([](const xcb_generic_event_t&) { return true; }, 0.05);
    }
    return false;
}

inline std::optional<WindowInfo> windowInfo(const Desktop& desktop, xcb_window_t window) {
    for (const auto& candidate : desktop.windows().value_or(std::vector<WindowInfo>{})) {
        if (candidate.id == window) {
            return candidate;
        }
    }
    return std::nullopt;
}

class X11Input : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) {
            GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
        }
        ASSERT_TRUE(observer.connected());
        std::string error;
        desktop = X11Desktop::connect(nullptr, error);
        ASSERT_TRUE(desktop) << error;
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
    std::string error;
    std::shared_ptr<InputEventSink> xtest = XTestInputSink::connect(nullptr, error);
    ASSERT_TRUE(xtest) << error;
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

// The pen marker never takes a click, nor counts as a window in front of the one drawn on.
TEST_F(X11Input, ThePenMarkerLetsClicksThroughAndHidesNothing) {
    int argc = 1;
    char name[] = "desktop_control_x11_tests";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    MainQueue::install(std::make_shared<ManualMainExecutor>());
    const Point centre = frame(front).map(0.5, 0.5);
    DesktopPenIndicator indicator;
    indicator.show(centre);
    application.processEvents();
    ASSERT_TRUE(indicator.isVisible());
    EXPECT_EQ(indicator.centre(), (Point{std::round(centre.x), std::round(centre.y)}));
    const DesktopInputTarget target{
        .bounds = frame(front), .windowID = front, .processID = getpid()};
    EXPECT_EQ(target.occluders(getpid(), *desktop), std::vector<Rect>{});
    std::string error;
    auto xtest = XTestInputSink::connect(nullptr, error);
    ASSERT_TRUE(xtest) << error;
    InputEvent click{.type = InputEventType::leftMouseDown, .location = {centre.x + 12, centre.y}};
    xtest->post(click);  // on the ring itself
    click.type = InputEventType::leftMouseUp;
    xtest->post(click);
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
