#include "platform/input/uinput_frame_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/input/uinput_input_sink.h"

namespace quillory {
namespace {

using Record = std::tuple<int, int, int>;  // type, code, value

// Pipes stand in for the two uinput descriptors; each write is read back as records.
class UinputFrames : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(pipe2(pen_, O_NONBLOCK), 0);
        ASSERT_EQ(pipe2(keyboard_, O_NONBLOCK), 0);
        writer_.emplace(pen_[1], keyboard_[1], Rect{0, 0, 1920, 1080});
    }
    void TearDown() override {
        for (int fd : {pen_[0], pen_[1], keyboard_[0], keyboard_[1]}) {
            close(fd);
        }
    }

    static std::vector<Record> drain(int fd) {
        std::vector<Record> records;
        input_event event{};
        while (read(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event)) {
            records.emplace_back(event.type, event.code, event.value);
        }
        return records;
    }

    std::vector<Record> pen(const InputEvent& event) {
        EXPECT_TRUE(writer_->write(event));
        return drain(pen_[0]);
    }

    static InputEvent pointer(InputEventType type, double x, double y, double pressure,
                              std::optional<Tilt> tilt = std::nullopt) {
        InputEvent event;
        event.type = type;
        event.location = {x, y};
        event.pressure = pressure;
        event.tilt = tilt;
        return event;
    }

    static InputEvent proximity(bool entering, double x, double y) {
        InputEvent event = pointer(InputEventType::tabletProximity, x, y, 0);
        event.enteringProximity = entering;
        return event;
    }

    int pen_[2] = {-1, -1};
    int keyboard_[2] = {-1, -1};
    std::optional<UinputFrameWriter> writer_;
};

constexpr Record syn{EV_SYN, SYN_REPORT, 0};

TEST_F(UinputFrames, OneStrokeIsWrittenFrameByFrame) {
    EXPECT_EQ(pen(proximity(true, 100.4, 200.6)),
              (std::vector<Record>{
                  {EV_ABS, ABS_X, 100}, {EV_ABS, ABS_Y, 201}, {EV_KEY, BTN_TOOL_PEN, 1}, syn}));

    // A light touch is raised to the tip floor so that the tip really goes down.
    EXPECT_EQ(pen(pointer(InputEventType::leftMouseDown, 100, 200, 0.01, Tilt{0, 0})),
              (std::vector<Record>{{EV_ABS, ABS_X, 100},
                                   {EV_ABS, ABS_Y, 200},
                                   {EV_ABS, ABS_TILT_X, 0},
                                   {EV_ABS, ABS_TILT_Y, 0},
                                   {EV_ABS, ABS_PRESSURE, UinputFrameWriter::tipPressureFloor},
                                   {EV_KEY, BTN_TOUCH, 1},
                                   syn}));
    EXPECT_GE(UinputFrameWriter::tipPressureFloor, 0.06 * UinputFrameWriter::pressureMax);

    // Tilt of 30° to the right and 30° downwards: sin(30°) = 0.5.
    EXPECT_EQ(pen(pointer(InputEventType::tabletPointer, 110, 205, 0.5, Tilt{0.5, -0.5})),
              (std::vector<Record>{{EV_ABS, ABS_X, 110},
                                   {EV_ABS, ABS_Y, 205},
                                   {EV_ABS, ABS_TILT_X, 30},
                                   {EV_ABS, ABS_TILT_Y, -30},
                                   {EV_ABS, ABS_PRESSURE, 2048},
                                   syn}));
    EXPECT_EQ(pen(pointer(InputEventType::leftMouseDragged, 120, 210, 1.0, Tilt{1, 0})),
              (std::vector<Record>{{EV_ABS, ABS_X, 120},
                                   {EV_ABS, ABS_Y, 210},
                                   {EV_ABS, ABS_TILT_X, 90},
                                   {EV_ABS, ABS_TILT_Y, 0},
                                   {EV_ABS, ABS_PRESSURE, 4095},
                                   syn}));
    EXPECT_EQ(pen(pointer(InputEventType::leftMouseUp, 120, 210, 0)),
              (std::vector<Record>{{EV_ABS, ABS_X, 120},
                                   {EV_ABS, ABS_Y, 210},
                                   {EV_ABS, ABS_PRESSURE, 0},
                                   {EV_KEY, BTN_TOUCH, 0},
                                   syn}));
    EXPECT_EQ(pen(proximity(false, 120, 210)),
              (std::vector<Record>{
                  {EV_ABS, ABS_X, 120}, {EV_ABS, ABS_Y, 210}, {EV_KEY, BTN_TOOL_PEN, 0}, syn}));
    EXPECT_TRUE(drain(keyboard_[0]).empty());
}

TEST_F(UinputFrames, PositionsAreClampedToTheArea) {
    const auto records = pen(pointer(InputEventType::mouseMoved, -5, 5000, 0));
    EXPECT_EQ(records[0], (Record{EV_ABS, ABS_X, 0}));
    EXPECT_EQ(records[1], (Record{EV_ABS, ABS_Y, 1079}));
}

// After a resize the pen device is new: it starts out of proximity, and the new area's pixels
// are no longer clamped to the old one.
TEST_F(UinputFrames, ANewPenDeviceSpansTheNewArea) {
    const auto hover = pointer(InputEventType::mouseMoved, 2000, 1200, 0);
    EXPECT_EQ(pen(hover)[0], (Record{EV_ABS, ABS_X, 1919}));
    writer_->setPenDevice(pen_[1], Rect{0, 0, 2560, 1440});
    EXPECT_EQ(pen(hover), (std::vector<Record>{{EV_ABS, ABS_X, 2000},
                                               {EV_ABS, ABS_Y, 1200},
                                               {EV_KEY, BTN_TOOL_PEN, 1},
                                               {EV_ABS, ABS_PRESSURE, 0},
                                               syn}));
}

TEST_F(UinputFrames, LeavingProximityWhileTouchingLiftsTheTipInTheSameFrame) {
    pen(pointer(InputEventType::leftMouseDown, 10, 10, 0.5));
    EXPECT_EQ(pen(proximity(false, 10, 10)), (std::vector<Record>{{EV_ABS, ABS_X, 10},
                                                                  {EV_ABS, ABS_Y, 10},
                                                                  {EV_ABS, ABS_PRESSURE, 0},
                                                                  {EV_KEY, BTN_TOUCH, 0},
                                                                  {EV_KEY, BTN_TOOL_PEN, 0},
                                                                  syn}));
}

TEST_F(UinputFrames, KeysGoToTheKeyboardDevice) {
    InputEvent down;
    down.type = InputEventType::flagsChanged;
    down.keyCode = KEY_LEFTCTRL;
    down.keyIsDown = true;
    ASSERT_TRUE(writer_->write(down));
    InputEvent up = down;
    up.type = InputEventType::keyUp;
    up.keyCode = KEY_A;
    up.keyIsDown = false;
    ASSERT_TRUE(writer_->write(up));
    EXPECT_EQ(drain(keyboard_[0]),
              (std::vector<Record>{{EV_KEY, KEY_LEFTCTRL, 1}, syn, {EV_KEY, KEY_A, 0}, syn}));
    EXPECT_TRUE(drain(pen_[0]).empty());
}

TEST(UinputDevices, AreCreatedOnceWhenTheDeviceIsWritable) {
    if (access(UinputInputSink::path, W_OK) != 0) {
        GTEST_SKIP() << UinputInputSink::path << " is not writable here: the virtual devices "
                     << "cannot be created (frames are tested against pipes)";
    }
    auto created = UinputInputSink::create({0, 0, 1920, 1080});
    ASSERT_TRUE(created) << created.error();
    auto sink = std::move(created).value();
    InputEvent event;
    event.type = InputEventType::tabletProximity;
    event.enteringProximity = false;
    sink->post(event);
}

}  // namespace
}  // namespace quillory
