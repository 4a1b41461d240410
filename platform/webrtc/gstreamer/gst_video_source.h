#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/video/video_frame.h"
#include "platform/webrtc/gstreamer/frame_rate_limiter.h"
#include "platform/webrtc/peer_video_source.h"

namespace quillory {

// The sending transport's screen source: applies the fit to each captured frame, drops frames
// above the requested rate by timestamp and hands the rest, with their crop rectangle and adapted
// size, to the transport's encoding step. The frame is passed by reference: the encoder crops
// and scales. One lock keeps adaptOutputFormat (owner's thread) and deliverFrame (capture
// thread) apart; the encoding step is called outside it.
class GstVideoSource final : public PeerVideoSource {
  public:
    using FrameStep = std::function<void(VideoFrame frame, int maximumFramesPerSecond)>;

    GstVideoSource(VideoSourceFitter fitter, FrameStep step);

    void adaptOutputFormat(int requestWidth, int requestHeight, int framesPerSecond) override;
    void deliverFrame(const std::shared_ptr<PixelBuffer>& buffer,
                      std::int64_t timestampNanoseconds) override;

  private:
    struct Request {
        int width = 0;
        int height = 0;
        int framesPerSecond = 0;
    };

    const VideoSourceFitter fitter_;
    const FrameStep step_;
    std::mutex mutex_;
    std::optional<Request> request_;
    FrameRateLimiter limiter_;
};

}  // namespace quillory
