#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <string>

#include "platform/input/input_event_sink.h"
#include "platform/result/result.h"

namespace quillory {

// Pointer motion, button 1 and keys through the X server's XTEST extension: no pressure, tilt or
// proximity reach applications this way.
class XTestInputSink final : public InputEventSink {
  public:
    // `display` nullptr means $DISPLAY. Fails when the server or XTEST is missing.
    static Result<std::unique_ptr<XTestInputSink>, std::string> connect(const char* display);
    ~XTestInputSink() override;

    // Keys go out at once, as the key repeat control on another connection must follow them;
    // pointer events wait for flush().
    void post(const InputEvent& event) override;
    void flush() override;

  private:
    XTestInputSink(xcb_connection_t* connection, xcb_window_t root);
    void fake(std::uint8_t type, std::uint8_t detail, std::int16_t x = 0, std::int16_t y = 0);

    xcb_connection_t* connection_;
    xcb_window_t root_;
    bool buttonDown_ = false;
};

// True when the X server at `display` answers and offers XTEST.
bool hasXTest(const char* display);

}  // namespace quillory
