#include "app/desktop-control/pen_injector.h"

#include <algorithm>
#include <cmath>

namespace quillory {

PenInjector::PenInjector(std::shared_ptr<InputEventSink> sink, std::shared_ptr<const Clock> clock)
    : sink_(std::move(sink)), clock_(std::move(clock)) {}

std::uint64_t PenInjector::nextTimestamp(std::optional<std::uint64_t> timestamp) {
    const std::uint64_t given =
        timestamp && *timestamp != 0 ? *timestamp : clock_->nowNanoseconds();
    // Several events of one sample still get distinct, rising times.
    lastTimestamp_ = std::max(given, lastTimestamp_ + 1);
    return lastTimestamp_;
}

void PenInjector::endStroke(std::uint64_t timestamp) {
    if (down_) {
        down_ = false;
        postPointer(InputEventType::leftMouseUp, nullptr, timestamp, 0);
    }
    if (inProximity_) {
        postProximity(false, timestamp);
    }
}

void PenInjector::post(const PenSample& sample, std::uint64_t timestamp, bool drag,
                       std::uint64_t modifiers, Rect bounds) {
    using Phase = PenSample::Phase;
    modifiers_ = modifiers;
    if (sample.phase == Phase::began) {
        endStroke(timestamp);
    } else if (sample.phase == Phase::cancelled) {
        endStroke(timestamp);
        return;
    }
    const Point old = position_;
    position_ = bounds.map(sample.x, sample.y);

    InputEventType type = InputEventType::mouseMoved;
    double pressure = 0;
    switch (sample.phase) {
        case Phase::began:
            down_ = true;
            type = InputEventType::leftMouseDown;
            pressure = sample.pressure;
            break;
        case Phase::moved:
            if (!down_) {
                return;
            }
            type = drag && position_ != old ? InputEventType::leftMouseDragged
                                            : InputEventType::tabletPointer;
            pressure = sample.pressure;
            break;
        case Phase::ended:
            if (!down_) {
                return;
            }
            down_ = false;
            type = InputEventType::leftMouseUp;
            break;
        case Phase::hover:
            if (down_) {
                return;
            }
            type = InputEventType::mouseMoved;
            break;
        case Phase::cancelled:
            return;
    }
    if (!inProximity_) {
        postProximity(true, timestamp);
    }
    postPointer(type, &sample, timestamp, pressure);
    if (sample.phase == Phase::ended) {
        postProximity(false, timestamp);
    }
}

void PenInjector::postProximity(bool entering, std::optional<std::uint64_t> timestamp) {
    InputEvent event;
    event.type = InputEventType::tabletProximity;
    event.location = position_;
    event.flags = modifiers_;
    event.deviceID = penDeviceID;
    event.toolID = penToolID;
    event.enteringProximity = entering;
    event.timestamp = nextTimestamp(timestamp);
    sink_->post(event);
    inProximity_ = entering;
}

void PenInjector::postPointer(InputEventType type, const PenSample* sample,
                              std::optional<std::uint64_t> timestamp, double pressure) {
    InputEvent event;
    event.type = type;
    event.location = position_;
    event.flags = ModifierFlags::nonCoalesced | modifiers_;
    event.timestamp = nextTimestamp(timestamp);
    event.deviceID = penDeviceID;
    event.clickState =
        type == InputEventType::leftMouseDown || type == InputEventType::leftMouseUp ? 1 : 0;
    event.buttonDown = down_;
    event.pressure = pressure;
    if (sample) {
        const double lean = std::cos(sample->altitude);
        event.tilt = Tilt{lean * std::cos(sample->azimuth), lean * std::sin(sample->azimuth)};
    }
    sink_->post(event);
}

}  // namespace quillory
