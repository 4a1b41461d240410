// Desktop input against a real X server (Xvfb with openbox): what an independent client sees.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "app/desktop-control/desktop_input_worker.h"
#include "app/desktop-control/tests/worker_fixture.h"
#include "app/desktop-control/tests/x11_observer.h"
#include "platform/desktop/x11_connection.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/input/input_backend.h"
#include "platform/input/uinput_input_sink.h"
#include "platform/input/xtest_input_sink.h"

namespace quillory::testing {
namespace {

using Phase = PenSample::Phase;

class X11Input : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) {
            GTEST_SKIP() << "DISPLAY is not set: these tests need an X server with a window "
                            "manager (run them inside scripts/with-test-services)";
        }
        ASSERT_TRUE(observer.connected());
        std::string error;
        desktop = X11Desktop::connect(nullptr, error);
        ASSERT_TRUE(desktop) << error;
        back = observer.createWindow(100, 100, 600, 400);
        ASSERT_TRUE(waitUntilListed(back));
        front = observer.createWindow(150, 150, 200, 150);
        ASSERT_TRUE(waitUntilListed(front));
    }

    bool waitUntilListed(xcb_window_t window) {
        return waitUntilFrontmost(observer, *desktop, window);
    }
    std::optional<WindowInfo> info(xcb_window_t window) const {
        return windowInfo(*desktop, window);
    }

    std::shared_ptr<DesktopInputWorker> makeWorker(std::shared_ptr<InputEventSink> sink,
                                                   const Rect& frame, xcb_window_t window) {
        DesktopInputEnvironment environment;
        environment.sink = std::move(sink);
        environment.layout = std::make_shared<KeyboardLayout>(Keymap::fromNames("us"));
        environment.desktop = desktop;
        environment.clock = std::make_shared<SystemClock>();
        environment.accessGranted = [] { return true; };
        auto worker = DesktopInputWorker::create(std::move(environment));
        worker->attach(connection);
        worker->configure([&] {
            worker->setTarget({.bounds = frame, .windowID = window, .processID = getpid()});
            worker->setForeground(getpid(), context);
            worker->setEnabled(true);
        });
        return worker;
    }

    Observer observer;
    std::shared_ptr<X11Desktop> desktop;
    xcb_window_t back = 0;
    xcb_window_t front = 0;
    Uuid connection = Uuid::random();
    Uuid context = Uuid::random();
};

TEST_F(X11Input, OccludersComeFromTheRealWindowStack) {
    const auto backInfo = info(back);
    const auto frontInfo = info(front);
    ASSERT_TRUE(backInfo && frontInfo);
    EXPECT_EQ(backInfo->processID, getpid());
    const DesktopInputTarget target{
        .bounds = backInfo->frame, .windowID = back, .processID = getpid()};
    const auto occluders = target.occluders(getpid(), *desktop);
    ASSERT_TRUE(occluders);
    EXPECT_NE(std::find(occluders->begin(), occluders->end(), frontInfo->frame), occluders->end());

    // A point under the front window is refused; one beside it is drawn.
    auto sink = std::make_shared<RecordingInputSink>();
    auto worker = makeWorker(sink, backInfo->frame, back);
    const Rect& b = backInfo->frame;
    const Rect& f = frontInfo->frame;
    const double underX = (f.x + f.width / 2 - b.x) / (b.width - 1);
    const double underY = (f.y + f.height / 2 - b.y) / (b.height - 1);
    worker->submit({sample(1, Phase::began, underX, underY)}, connection);
    worker->drain();
    EXPECT_EQ(sink->count(), 0u);
    worker->submit({sample(2, Phase::began, 0.9, 0.9)}, connection);
    worker->drain();
    EXPECT_TRUE(sink->buttonDown());
    worker->shutdown();

    EXPECT_TRUE(desktop->raise(back));
    ASSERT_TRUE(waitUntilListed(back));
    EXPECT_EQ(target.occluders(getpid(), *desktop), std::vector<Rect>{});
}

TEST_F(X11Input, TheServersDisplayAndLayoutAreRead) {
    const auto main = desktop->mainDisplay();
    ASSERT_TRUE(main);
    EXPECT_EQ(main->bounds, desktop->rootBounds());
    EXPECT_EQ(DesktopInputTarget::mainDisplay(*desktop).occluders(std::nullopt, *desktop),
              std::vector<Rect>{});
    std::string error;
    const auto layout = KeyboardLayout::connect(nullptr, error);
    ASSERT_TRUE(layout) << error;
    EXPECT_GE(layout->descriptor(), 0);
    EXPECT_EQ(layout->current()->stroke(U'a'), (KeyStroke{KEY_A, false, false}));
    EXPECT_FALSE(layout->dispatchPending());
    if (access(UinputInputSink::path, W_OK) != 0) {
        EXPECT_EQ(openInputBackend(desktop->rootBounds()).status.kind, InputBackendKind::xtest);
    }

    // The user switches the layout: the next lookup follows.
    ASSERT_EQ(std::system("setxkbmap de"), 0);
    bool changed = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!changed && std::chrono::steady_clock::now() < deadline) {
        pollfd descriptor{layout->descriptor(), POLLIN, 0};
        ::poll(&descriptor, 1, 100);
        changed = layout->dispatchPending();
    }
    EXPECT_TRUE(changed);
    EXPECT_EQ(layout->current()->stroke(U'z'), (KeyStroke{KEY_Y, false, false}));
    ASSERT_EQ(std::system("setxkbmap us"), 0);
}

TEST_F(X11Input, ABatchMovesTheRealPointerAndClicksThroughXTest) {
    std::string error;
    std::shared_ptr<InputEventSink> xtest = XTestInputSink::connect(nullptr, error);
    ASSERT_TRUE(xtest) << error;
    ASSERT_TRUE(desktop->raise(back));
    ASSERT_TRUE(waitUntilListed(back));
    const auto frame = info(back)->frame;
    auto worker = makeWorker(xtest, frame, back);

    worker->submit({sample(1, Phase::began, 0.5, 0.5), sample(2, Phase::moved, 0.55, 0.6),
                    sample(3, Phase::moved, 0.6, 0.7), sample(4, Phase::ended, 0.6, 0.7)},
                   connection);
    worker->drain();
    std::vector<xcb_button_press_event_t> buttons;
    ASSERT_TRUE(observer.waitFor([&](const xcb_generic_event_t& event) {
        if (type(event) == XCB_BUTTON_PRESS || type(event) == XCB_BUTTON_RELEASE) {
            buttons.push_back(reinterpret_cast<const xcb_button_press_event_t&>(event));
        }
        return buttons.size() == 2;
    }));
    const auto at = [&](double x, double y) {
        const Point p = frame.map(x, y);
        return std::make_pair(static_cast<int>(std::lround(p.x)),
                              static_cast<int>(std::lround(p.y)));
    };
    EXPECT_EQ(type(reinterpret_cast<const xcb_generic_event_t&>(buttons[0])), XCB_BUTTON_PRESS);
    EXPECT_EQ(buttons[0].detail, 1);
    EXPECT_EQ(rootPoint(buttons[0]), at(0.5, 0.5));
    EXPECT_EQ(type(reinterpret_cast<const xcb_generic_event_t&>(buttons[1])), XCB_BUTTON_RELEASE);
    EXPECT_EQ(rootPoint(buttons[1]), at(0.6, 0.7));

    auto* pointer = xcb_query_pointer_reply(
        observer.connection(), xcb_query_pointer(observer.connection(), observer.root()), nullptr);
    ASSERT_TRUE(pointer);
    EXPECT_EQ(rootPoint(*pointer), at(0.6, 0.7));
    EXPECT_EQ(pointer->mask & XCB_BUTTON_MASK_1, 0);
    std::free(pointer);
    worker->shutdown();
}

TEST_F(X11Input, AControlTapReachesTheFocusedWindow) {
    std::string error;
    std::shared_ptr<InputEventSink> xtest = XTestInputSink::connect(nullptr, error);
    ASSERT_TRUE(xtest) << error;
    ASSERT_TRUE(desktop->raise(back));
    ASSERT_TRUE(observer.waitFor([&](const xcb_generic_event_t& event) {
        return type(event) == XCB_FOCUS_IN &&
               reinterpret_cast<const xcb_focus_in_event_t&>(event).event == back;
    }));
    ASSERT_TRUE(waitUntilListed(back));
    auto worker = makeWorker(xtest, info(back)->frame, back);

    DesktopAction tap;
    tap.contextID = context;
    tap.kind = DesktopAction::Kind::tap;
    tap.keys = {DesktopKey::control, DesktopKey::a};
    worker->submit(tap, connection);
    worker->drain();
    std::vector<xcb_key_press_event_t> keys;
    ASSERT_TRUE(observer.waitFor([&](const xcb_generic_event_t& event) {
        if (type(event) == XCB_KEY_PRESS || type(event) == XCB_KEY_RELEASE) {
            keys.push_back(reinterpret_cast<const xcb_key_press_event_t&>(event));
        }
        return keys.size() == 4;
    }));
    constexpr int offset = 8;
    EXPECT_EQ(keys[0].response_type & 0x7f, XCB_KEY_PRESS);
    EXPECT_EQ(keys[0].detail, KEY_LEFTCTRL + offset);
    EXPECT_EQ(keys[1].response_type & 0x7f, XCB_KEY_PRESS);
    EXPECT_EQ(keys[1].detail, KEY_A + offset);
    EXPECT_TRUE(keys[1].state & XCB_MOD_MASK_CONTROL);
    EXPECT_EQ(keys[2].response_type & 0x7f, XCB_KEY_RELEASE);
    EXPECT_EQ(keys[2].detail, KEY_A + offset);
    EXPECT_EQ(keys[3].response_type & 0x7f, XCB_KEY_RELEASE);
    EXPECT_EQ(keys[3].detail, KEY_LEFTCTRL + offset);
    worker->shutdown();

    const auto frontmost = desktop->frontmostApplication();
    ASSERT_TRUE(frontmost);
    EXPECT_EQ(frontmost->processID, getpid());
    EXPECT_EQ(frontmost->name, "Observer");
}

}  // namespace
}  // namespace quillory::testing
