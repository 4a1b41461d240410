#include "platform/input/uinput_frame_writer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

#include "platform/files/unique_fd.h"

namespace quillory {

UinputFrameWriter::UinputFrameWriter(int penFd, int keyboardFd, Rect area)
    : penFd_(penFd), keyboardFd_(keyboardFd), area_(area) {
    frame_.reserve(16);
}

void UinputFrameWriter::setPenDevice(int penFd, Rect area) {
    penFd_ = penFd;
    area_ = area;
    inProximity_ = false;
    touching_ = false;
}

int UinputFrameWriter::pressureValue(double pressure) {
    return static_cast<int>(std::lround(std::clamp(pressure, 0.0, 1.0) * pressureMax));
}

int UinputFrameWriter::tiltValue(double component) {
    const double degrees = std::asin(std::clamp(component, -1.0, 1.0)) * 180 / std::numbers::pi;
    return static_cast<int>(std::lround(degrees));
}

bool UinputFrameWriter::write(const InputEvent& event) {
    const auto& frame = encode(event);
    const int fd = event.isKey() ? keyboardFd_ : penFd_;
    return writeAll(fd, std::string_view(reinterpret_cast<const char*>(frame.data()),
                                         frame.size() * sizeof(input_event)));
}

const std::vector<input_event>& UinputFrameWriter::encode(const InputEvent& event) {
    frame_.clear();
    if (event.isKey()) {
        encodeKey(event);
    } else {
        encodePen(event);
    }
    add(EV_SYN, SYN_REPORT, 0);
    return frame_;
}

void UinputFrameWriter::add(std::uint16_t type, std::uint16_t code, int value) {
    input_event record{};
    record.type = type;
    record.code = code;
    record.value = value;
    frame_.push_back(record);
}

void UinputFrameWriter::enterProximity() {
    if (!inProximity_) {
        add(EV_KEY, BTN_TOOL_PEN, 1);
        inProximity_ = true;
    }
}

void UinputFrameWriter::addTilt(const InputEvent& event) {
    if (event.tilt) {
        add(EV_ABS, ABS_TILT_X, tiltValue(event.tilt->x));
        add(EV_ABS, ABS_TILT_Y, tiltValue(event.tilt->y));
    }
}

void UinputFrameWriter::encodePen(const InputEvent& event) {
    const auto axis = [](double value, double origin, double extent) {
        const double last = std::max(extent - 1, 0.0);
        return static_cast<int>(std::lround(std::clamp(value - origin, 0.0, last)));
    };
    add(EV_ABS, ABS_X, axis(event.location.x, area_.x, area_.width));
    add(EV_ABS, ABS_Y, axis(event.location.y, area_.y, area_.height));
    switch (event.type) {
        case InputEventType::tabletProximity:
            if (event.enteringProximity) {
                enterProximity();
            } else if (inProximity_) {
                if (touching_) {
                    add(EV_ABS, ABS_PRESSURE, 0);
                    add(EV_KEY, BTN_TOUCH, 0);
                    touching_ = false;
                }
                add(EV_KEY, BTN_TOOL_PEN, 0);
                inProximity_ = false;
            }
            break;
        case InputEventType::leftMouseDown:
            enterProximity();
            addTilt(event);
            add(EV_ABS, ABS_PRESSURE, std::max(pressureValue(event.pressure), tipPressureFloor));
            add(EV_KEY, BTN_TOUCH, 1);
            touching_ = true;
            break;
        case InputEventType::leftMouseDragged:
        case InputEventType::tabletPointer:
            addTilt(event);
            add(EV_ABS, ABS_PRESSURE,
                touching_ ? std::max(pressureValue(event.pressure), tipPressureFloor) : 0);
            break;
        case InputEventType::mouseMoved:
            enterProximity();
            addTilt(event);
            add(EV_ABS, ABS_PRESSURE, 0);
            break;
        case InputEventType::leftMouseUp:
            add(EV_ABS, ABS_PRESSURE, 0);
            add(EV_KEY, BTN_TOUCH, 0);
            touching_ = false;
            break;
        default:
            break;
    }
}

void UinputFrameWriter::encodeKey(const InputEvent& event) {
    add(EV_KEY, event.keyCode, event.keyIsDown ? 1 : 0);
}

}  // namespace quillory
