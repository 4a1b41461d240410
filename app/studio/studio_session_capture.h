#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/studio/display_capture.h"
#include "app/studio/studio_capture_source.h"
#include "protocol/studio_viewport.h"

namespace quillory {

// The capture of one Studio stream as the session drives it; DisplayCapture in the product, a
// scripted one in tests. Called on the main queue; completions may arrive on any thread.
class StudioSessionCapture {
  public:
    // Nothing on success, else the reason.
    using Completion = std::function<void(std::optional<std::string>)>;

    virtual ~StudioSessionCapture() = default;

    virtual void start(Completion completion) = 0;
    virtual void update(int longSideLimit, const std::optional<StudioViewport>& viewport,
                        Completion completion) = 0;
    virtual void updateFramesPerSecond(int framesPerSecond, Completion completion) = 0;
    virtual void stop() = 0;
    virtual void requestRefresh() = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
};

// Makes the capture of a stream: the source, the long-side limit, the viewport, the frame sink
// (capture queue) and the failure handler (main queue).
using StudioCaptureMaker = std::function<std::shared_ptr<StudioSessionCapture>(
    const StudioCaptureSource& source, int longSideLimit,
    const std::optional<StudioViewport>& viewport, DisplayCapture::FrameSink onFrame,
    DisplayCapture::FailureHandler onFailure)>;

// DisplayCapture behind the session's interface.
StudioCaptureMaker displayCaptureMaker(DisplayCapture::Environment environment);

}  // namespace quillory
