// The pen marker on a real X server: it must never take clicks or focus, nor count as a window in
// front of the one being drawn on.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "app/desktop-control/desktop_input_target.h"
#include "app/desktop-control/desktop_pen_indicator.h"
#include "app/desktop-control/tests/x11_observer.h"
#include "platform/dispatch/main_queue.h"
#include "platform/input/xtest_input_sink.h"

namespace quillory::testing {
namespace {

TEST(DesktopPenIndicatorOnX11, LetsClicksThroughAndHidesNothing) {
    if (!std::getenv("DISPLAY")) {
        GTEST_SKIP() << "no DISPLAY: run inside scripts/with-test-services";
    }
    int argc = 1;
    char name[] = "desktop_pen_indicator_x11_tests";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    MainQueue::install(std::make_shared<ManualMainExecutor>());
    Observer observer;
    std::string error;
    const auto desktop = X11Desktop::connect(nullptr, error);
    ASSERT_TRUE(desktop) << error;
    const xcb_window_t window = observer.createWindow(200, 150, 500, 400);
    ASSERT_TRUE(waitUntilFrontmost(observer, *desktop, window));
    ASSERT_TRUE(observer.waitFor([](auto& event) { return type(event) == XCB_FOCUS_IN; }));
    const Rect frame = windowInfo(*desktop, window)->frame;
    const Point centre = frame.map(0.5, 0.5);

    DesktopPenIndicator indicator;
    indicator.show(centre);
    application.processEvents();
    ASSERT_TRUE(indicator.isVisible());
    EXPECT_EQ(indicator.centre(), (Point{std::round(centre.x), std::round(centre.y)}));
    const DesktopInputTarget target{.bounds = frame, .windowID = window, .processID = getpid()};
    EXPECT_EQ(target.occluders(getpid(), *desktop), std::vector<Rect>{});

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
    EXPECT_EQ(clicked, window);
    EXPECT_EQ(desktop->frontmostApplication()->windowID, window);
}

}  // namespace
}  // namespace quillory::testing
