#include "platform/input/non_repeating_key_sink.h"

namespace quillory {

NonRepeatingKeySink::NonRepeatingKeySink(std::shared_ptr<InputEventSink> inner,
                                         std::unique_ptr<KeyRepeatControl> control)
    : inner_(std::move(inner)), control_(std::move(control)) {}

void NonRepeatingKeySink::post(const InputEvent& event) {
    if (event.isKey() && event.keyIsDown) {
        control_->hold(event.keyCode);
    }
    inner_->post(event);
    if (event.isKey() && !event.keyIsDown) {
        control_->release(event.keyCode);
    }
}

void NonRepeatingKeySink::flush() {
    inner_->flush();
}

void NonRepeatingKeySink::setArea(Rect area) {
    inner_->setArea(area);
}

}  // namespace quillory
