#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop/geometry.h"
#include "platform/video/pixel_buffer.h"

namespace quillory {

class SerialQueue;

// What a capture grabs: a RandR monitor (by its name atom, as DisplayInfo::id) or a top-level
// window together with the frame rectangle, decorations included, that is to be captured.
struct CaptureTarget {
    enum class Kind { display, window };
    Kind kind = Kind::display;
    std::uint32_t id = 0;
    Rect frame;  // global root coordinates; for a display its bounds
};

struct CaptureStreamConfiguration {
    int width = 0;  // the output size, even
    int height = 0;
    int framesPerSecond = 60;
    bool showsCursor = true;
};

struct CaptureError {
    std::string message;
};

enum class CaptureFrameStatus {
    complete,  // a new picture
    idle,      // nothing changed since the last picture
    blank,     // the source is gone or unmapped: nothing to show
};

struct CaptureFrame {
    CaptureFrameStatus status = CaptureFrameStatus::idle;
    std::shared_ptr<PixelBuffer> image;  // complete frames only
    double presentationSeconds = -1;     // uptime right after the grab
};

// A running capture of one target. Every call, and every callback, happens on the capture queue
// the stream was made for.
class CaptureStream {
  public:
    struct Handlers {
        std::function<void(const CaptureFrame&)> onFrame;
        // The monitors changed (RandR screen, CRTC, output or monitor notifications).
        std::function<void()> onDisplaysChanged;
        // The stream ended on its own: the X connection failed.
        std::function<void()> onStopped;
    };

    virtual ~CaptureStream() = default;

    virtual std::optional<CaptureError> start(Handlers handlers) = 0;
    virtual std::optional<CaptureError> update(const CaptureStreamConfiguration& configuration) = 0;
    // Ends grabbing; no callback follows.
    virtual void stop() = 0;
};

using CaptureStreamFactory =
    std::function<std::unique_ptr<CaptureStream>(SerialQueue& queue, const CaptureTarget& target,
                                                 const CaptureStreamConfiguration& configuration)>;

}  // namespace quillory
