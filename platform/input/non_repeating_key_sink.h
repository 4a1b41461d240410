#pragma once

#include <memory>

#include "platform/input/input_event_sink.h"
#include "platform/keyboard/key_repeat_control.h"

namespace quillory {

// Keeps the X server from repeating the keys another sink holds: each key's repeat is off from
// just before it goes down until just after it comes up.
class NonRepeatingKeySink final : public InputEventSink {
  public:
    NonRepeatingKeySink(std::shared_ptr<InputEventSink> inner,
                        std::unique_ptr<KeyRepeatControl> control);

    void post(const InputEvent& event) override;
    void setArea(Rect area) override;
    void flush() override;

  private:
    std::shared_ptr<InputEventSink> inner_;
    std::unique_ptr<KeyRepeatControl> control_;
};

}  // namespace quillory
