#include "platform/input/desktop_control_access.h"

#include <gtest/gtest.h>

#include "platform/input/recording_input_sink.h"

namespace quillory {
namespace {

DesktopControlAccess access(bool writable, bool available, bool xtest) {
    return DesktopControlAccess(
        {[=] { return writable; }, [=] { return available; }, [=] { return xtest; }});
}

TEST(DesktopControlAccess, XTestCountsOnlyWhenTheKernelHasNoUinput) {
    EXPECT_TRUE(access(true, true, false).isGranted());
    // uinput exists but is closed to us: the grant that brings pressure is still missing.
    EXPECT_FALSE(access(false, true, true).isGranted());
    EXPECT_TRUE(access(false, false, true).isGranted());
    EXPECT_FALSE(access(false, false, false).isGranted());
    EXPECT_NE(access(false, true, true).explanation().find("may not write"), std::string::npos);
}

TEST(RecordingInputSink, TracksWhatIsLeftHeld) {
    RecordingInputSink sink;
    InputEvent event;
    event.type = InputEventType::tabletProximity;
    event.enteringProximity = true;
    sink.post(event);
    event.type = InputEventType::leftMouseDown;
    sink.post(event);
    event.type = InputEventType::flagsChanged;
    event.keyCode = 29;
    event.keyIsDown = true;
    sink.post(event);
    EXPECT_FALSE(sink.allUp());
    event.keyIsDown = false;
    sink.post(event);
    event.type = InputEventType::leftMouseUp;
    sink.post(event);
    EXPECT_TRUE(sink.inProximity());
    event.type = InputEventType::tabletProximity;
    event.enteringProximity = false;
    sink.post(event);
    EXPECT_TRUE(sink.allUp());
    EXPECT_EQ(sink.count(), 6u);
}

}  // namespace
}  // namespace quillory
