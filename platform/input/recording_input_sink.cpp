#include "platform/input/recording_input_sink.h"

#include <chrono>

namespace quillory {

void RecordingInputSink::post(const InputEvent& event) {
    {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
        switch (event.type) {
            case InputEventType::leftMouseDown:
                buttonDown_ = true;
                break;
            case InputEventType::leftMouseUp:
                buttonDown_ = false;
                break;
            case InputEventType::tabletProximity:
                inProximity_ = event.enteringProximity;
                break;
            case InputEventType::keyDown:
            case InputEventType::keyUp:
            case InputEventType::flagsChanged:
                if (event.keyIsDown) {
                    keysDown_.insert(event.keyCode);
                } else {
                    keysDown_.erase(event.keyCode);
                }
                break;
            default:
                break;
        }
    }
    posted_.notify_all();
}

void RecordingInputSink::setArea(Rect area) {
    std::lock_guard lock(mutex_);
    areas_.emplace_back(events_.size(), area);
}

std::vector<std::pair<std::size_t, Rect>> RecordingInputSink::areas() const {
    std::lock_guard lock(mutex_);
    return areas_;
}

std::vector<InputEvent> RecordingInputSink::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::size_t RecordingInputSink::count() const {
    std::lock_guard lock(mutex_);
    return events_.size();
}

void RecordingInputSink::clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
    areas_.clear();
}

bool RecordingInputSink::waitForCount(std::size_t count, double timeoutSeconds) const {
    std::unique_lock lock(mutex_);
    return posted_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                            [&] { return events_.size() >= count; });
}

bool RecordingInputSink::buttonDown() const {
    std::lock_guard lock(mutex_);
    return buttonDown_;
}

bool RecordingInputSink::inProximity() const {
    std::lock_guard lock(mutex_);
    return inProximity_;
}

std::set<std::uint16_t> RecordingInputSink::keysDown() const {
    std::lock_guard lock(mutex_);
    return keysDown_;
}

bool RecordingInputSink::allUp() const {
    std::lock_guard lock(mutex_);
    return !buttonDown_ && !inProximity_ && keysDown_.empty();
}

}  // namespace quillory
