#pragma once

#include <memory>
#include <string>

#include "platform/input/input_event_sink.h"
#include "platform/input/uinput_frame_writer.h"
#include "platform/result/result.h"

struct libevdev_uinput;

namespace quillory {

// A virtual pen tablet and a virtual keyboard, created once and kept for the process.
class UinputInputSink final : public InputEventSink {
  public:
    static constexpr const char* path = "/dev/uinput";

    // Creates both devices over `area` (the root window).
    static Result<std::unique_ptr<UinputInputSink>, std::string> create(Rect area);
    ~UinputInputSink() override;

    void post(const InputEvent& event) override;
    // Makes a new pen device whose ABS_X and ABS_Y span `area`.
    void setArea(Rect area) override;

  private:
    UinputInputSink(libevdev_uinput* pen, libevdev_uinput* keyboard, Rect area);

    libevdev_uinput* pen_;
    libevdev_uinput* keyboard_;
    Rect area_;
    UinputFrameWriter writer_;
    bool reportedFailure_ = false;
};

}  // namespace quillory
