#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/studio/studio_capture_source.h"
#include "platform/capture/capture_stream.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/dispatch/timer.h"
#include "protocol/studio_viewport.h"

namespace quillory {

struct CaptureSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const CaptureSize&, const CaptureSize&) = default;
};

// Captures one shared source on its queue "com.quillory.capture" and hands every admitted frame
// to `onFrame` there; re-sends the last frame on request; watches the source and reports changes
// through `onFailure` on the main queue. The owner calls everything from the main queue, starts it
// once, updates it any number of times and stops it before releasing it; the capture never stops
// itself.
class DisplayCapture : public std::enable_shared_from_this<DisplayCapture> {
  public:
    using FrameSink = std::function<void(const std::shared_ptr<PixelBuffer>&, std::int64_t)>;
    using FailureHandler = std::function<void(const std::string&)>;
    // Called on the main queue: nothing on success, else the reason.
    using Completion = std::function<void(std::optional<std::string>)>;

    struct Environment {
        std::shared_ptr<Desktop> desktop;
        CaptureStreamFactory makeStream;
        std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>();
        // What measures the refresh delay; empty: the capture queue's own timers. Tests move
        // time by hand.
        std::shared_ptr<Executor> timers;
    };

    static constexpr double sourceWatchInterval = 0.2;
    static constexpr double refreshDelay = 0.05;

    static std::shared_ptr<DisplayCapture> create(const StudioCaptureSource& source,
                                                  int longSideLimit,
                                                  const std::optional<StudioViewport>& viewport,
                                                  FrameSink onFrame, FailureHandler onFailure,
                                                  Environment environment);
    ~DisplayCapture();

    // The capture size for a long-side limit and the tablet's viewport: never above the source,
    // at most 8,000,000 pixels, each edge even and at least 2 pixels. A viewport with a
    // non-positive side counts as none.
    static CaptureSize captureSize(const StudioCaptureSource& source, const Desktop& desktop,
                                   int longSideLimit,
                                   const std::optional<StudioViewport>& viewport);

    void start(Completion completion);
    // Changes the size; afterwards width() and height() hold the applied size.
    void update(int longSideLimit, const std::optional<StudioViewport>& viewport,
                Completion completion);
    void updateFramesPerSecond(int framesPerSecond, Completion completion);
    // Returns at once; no frame and no failure is reported afterwards.
    void stop();
    // Any thread: re-sends the last admitted frame 50 ms after the last of a burst of requests.
    void requestRefresh();

    int width() const { return size_.width; }
    int height() const { return size_.height; }
    int framesPerSecond() const { return framesPerSecond_; }

  private:
    DisplayCapture(const StudioCaptureSource& source, CaptureSize size, FrameSink onFrame,
                   FailureHandler onFailure, Environment environment);

    void handleFrame(const CaptureFrame& frame);
    void cancelRefresh();
    void deliverRefresh();
    // Capture queue: asks the desktop about the source alone.
    bool isSourceAvailable() const;
    // Any thread: an unavailable source reported on the main queue while watching.
    void reportSource(bool available, const char* failure);
    void armSourceWatch();
    CaptureStreamConfiguration configuration(CaptureSize size, int framesPerSecond) const;

    const StudioCaptureSource source_;
    const Rect bounds_;
    const FrameSink onFrame_;
    const FailureHandler onFailure_;
    const Environment environment_;
    std::shared_ptr<SerialQueue> queue_;

    // Main queue.
    CaptureSize size_;
    int framesPerSecond_ = 60;
    bool started_ = false;
    bool stopped_ = false;
    bool watching_ = false;
    Timer sourceWatch_;

    // Capture queue.
    std::shared_ptr<CaptureStream> stream_;
    int captureCadence_ = 60;
    std::shared_ptr<PixelBuffer> refreshImage_;
    Timer refreshWork_;
    bool refreshStopped_ = false;
};

}  // namespace quillory
