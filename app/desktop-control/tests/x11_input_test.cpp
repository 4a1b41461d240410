// Desktop input against a real X server (Xvfb with openbox): what an independent client sees.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <algorithm>
#include <cmath>

#include "app/desktop-control/tests/worker_fixture.h"
#include "app/desktop-control/tests/x11_observer.h"
#include "platform/input/input_backend.h"
#include "platform/input/uinput_input_sink.h"
#include "platform/input/xtest_input_sink.h"

namespace quillory::testing {
namespace {

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

}  // namespace
}  // namespace quillory::testing
