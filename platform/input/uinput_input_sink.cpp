#include "platform/input/uinput_input_sink.h"

#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <cstring>

#include "platform/log/logger.h"

namespace quillory {

namespace {

const Logger& logger() {
    static const Logger instance("app.quillory.connection", "input");
    return instance;
}

struct EvdevDeleter {
    void operator()(libevdev* device) const { libevdev_free(device); }
};
using Evdev = std::unique_ptr<libevdev, EvdevDeleter>;

// Pixels per millimetre reported for the pen's area (about 100 dpi).
constexpr int pixelsPerMillimetre = 4;
// Tilt resolution is in units per radian.
constexpr int degreesPerRadian = 57;

Evdev penDescription(Rect area) {
    Evdev device(libevdev_new());
    libevdev_set_name(device.get(), "Quillory Pen");
    libevdev_set_id_bustype(device.get(), BUS_VIRTUAL);
    libevdev_set_id_vendor(device.get(), penDeviceID);
    libevdev_set_id_product(device.get(), 1);
    libevdev_enable_property(device.get(), INPUT_PROP_DIRECT);
    for (const int code : {BTN_TOOL_PEN, BTN_TOUCH, BTN_STYLUS}) {
        libevdev_enable_event_code(device.get(), EV_KEY, static_cast<unsigned>(code), nullptr);
    }
    const auto axis = [&](unsigned code, int minimum, int maximum, int resolution) {
        input_absinfo info{};
        info.minimum = minimum;
        info.maximum = maximum;
        info.resolution = resolution;
        libevdev_enable_event_code(device.get(), EV_ABS, code, &info);
    };
    axis(ABS_X, 0, std::max(static_cast<int>(area.width) - 1, 1), pixelsPerMillimetre);
    axis(ABS_Y, 0, std::max(static_cast<int>(area.height) - 1, 1), pixelsPerMillimetre);
    axis(ABS_PRESSURE, 0, UinputFrameWriter::pressureMax, 0);
    axis(ABS_TILT_X, -UinputFrameWriter::tiltMax, UinputFrameWriter::tiltMax, degreesPerRadian);
    axis(ABS_TILT_Y, -UinputFrameWriter::tiltMax, UinputFrameWriter::tiltMax, degreesPerRadian);
    return device;
}

Evdev keyboardDescription() {
    Evdev device(libevdev_new());
    libevdev_set_name(device.get(), "Quillory Keyboard");
    libevdev_set_id_bustype(device.get(), BUS_VIRTUAL);
    libevdev_set_id_vendor(device.get(), penDeviceID);
    libevdev_set_id_product(device.get(), 2);
    for (unsigned code = KEY_ESC; code <= KEY_MICMUTE; ++code) {
        libevdev_enable_event_code(device.get(), EV_KEY, code, nullptr);
    }
    return device;
}

Result<libevdev_uinput*, std::string> createDevice(const Evdev& description) {
    libevdev_uinput* device = nullptr;
    const int result = libevdev_uinput_create_from_device(description.get(),
                                                          LIBEVDEV_UINPUT_OPEN_MANAGED, &device);
    if (result != 0) {
        return Failure(std::string("cannot create ") + libevdev_get_name(description.get()) + ": " +
                       std::strerror(-result));
    }
    return device;
}

}  // namespace

Result<std::unique_ptr<UinputInputSink>, std::string> UinputInputSink::create(Rect area) {
    const auto pen = createDevice(penDescription(area));
    if (!pen) {
        return Failure(pen.error());
    }
    const auto keyboard = createDevice(keyboardDescription());
    if (!keyboard) {
        libevdev_uinput_destroy(pen.value());
        return Failure(keyboard.error());
    }
    return std::unique_ptr<UinputInputSink>(
        new UinputInputSink(pen.value(), keyboard.value(), area));
}

UinputInputSink::UinputInputSink(libevdev_uinput* pen, libevdev_uinput* keyboard, Rect area)
    : pen_(pen),
      keyboard_(keyboard),
      area_(area),
      writer_(libevdev_uinput_get_fd(pen), libevdev_uinput_get_fd(keyboard), area) {}

UinputInputSink::~UinputInputSink() {
    libevdev_uinput_destroy(keyboard_);
    libevdev_uinput_destroy(pen_);
}

void UinputInputSink::setArea(Rect area) {
    if (area == area_) {
        return;
    }
    // Axis ranges are fixed once a device exists: the pen is made again.
    const auto pen = createDevice(penDescription(area));
    if (!pen) {
        logger().error("The pen keeps its old area: %s", pen.error().c_str());
        return;
    }
    libevdev_uinput_destroy(pen_);
    pen_ = pen.value();
    area_ = area;
    writer_.setPenDevice(libevdev_uinput_get_fd(pen_), area);
}

void UinputInputSink::post(const InputEvent& event) {
    if (!writer_.write(event) && !reportedFailure_) {
        reportedFailure_ = true;
        logger().error("Writing to the virtual devices failed: %s", std::strerror(errno));
    }
}

}  // namespace quillory
