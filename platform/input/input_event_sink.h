#pragma once

#include "platform/input/input_event.h"

namespace quillory {

// Where the injectors send finished events. Called from the input queue only.
class InputEventSink {
  public:
    virtual ~InputEventSink() = default;
    virtual void post(const InputEvent& event) = 0;
    // Sends what post() may have buffered; called once per batch.
    virtual void flush() {}
    // The root window changed size: pen positions span `area` from the next event on. Called
    // with the pen lifted.
    virtual void setArea(Rect) {}
};

// Drops everything; stands in when no backend could be opened.
class DiscardingInputSink final : public InputEventSink {
  public:
    void post(const InputEvent&) override {}
};

}  // namespace quillory
