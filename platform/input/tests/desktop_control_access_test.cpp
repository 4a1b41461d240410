#include "platform/input/desktop_control_access.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/clock/testing/fake_clock.h"
#include "platform/input/input_backend.h"
#include "platform/input/recording_input_sink.h"
#include "platform/input/uinput_input_sink.h"

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

// The probes scan the file system: one answer serves for a second, and a revoked grant shows
// once that second is over.
TEST(DesktopControlAccess, AnAnswerServesForOneSecond) {
    auto clock = std::make_shared<FakeClock>();
    int probes = 0;
    bool writable = true;
    const DesktopControlAccess access({[&] {
                                           ++probes;
                                           return writable;
                                       },
                                       [] { return true; }, [] { return false; }},
                                      clock);
    EXPECT_TRUE(access.isGranted());
    writable = false;
    clock->advance(0.999);
    EXPECT_TRUE(access.isGranted());
    EXPECT_EQ(probes, 1);
    clock->advance(0.001);
    EXPECT_FALSE(access.isGranted());
    EXPECT_EQ(probes, 2);
}

TEST(InputBackend, SaysWhichBackendIsLiveAndWhy) {
    if (::access(UinputInputSink::path, W_OK) == 0) {
        GTEST_SKIP() << "uinput is writable here, so it is always chosen";
    }
    // No X server answers on this display either: nothing can post, and the reason says so.
    const auto backend = openInputBackend({0, 0, 640, 480}, ":65000");
    ASSERT_TRUE(backend.sink);
    EXPECT_EQ(backend.status.kind, InputBackendKind::none);
    EXPECT_NE(backend.status.reason.find("/dev/uinput is not writable"), std::string::npos);
    EXPECT_NE(backend.status.reason.find("no X server answers"), std::string::npos);
    EXPECT_EQ(currentInputBackend().reason, backend.status.reason);
    backend.sink->post(InputEvent{});
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
