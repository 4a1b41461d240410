#include "platform/webrtc/gstreamer/gst_video_source.h"

namespace quillory {

GstVideoSource::GstVideoSource(VideoSourceFitter fitter, FrameStep step)
    : fitter_(std::move(fitter)), step_(std::move(step)) {}

void GstVideoSource::adaptOutputFormat(int requestWidth, int requestHeight, int framesPerSecond) {
    std::lock_guard lock(mutex_);
    request_ = Request{requestWidth, requestHeight, framesPerSecond};
    limiter_.setMaximumRate(framesPerSecond);
}

void GstVideoSource::deliverFrame(const std::shared_ptr<PixelBuffer>& buffer,
                                  std::int64_t timestampNanoseconds) {
    if (!buffer) {
        return;
    }
    VideoFrame frame =
        VideoFrame::whole(buffer, timestampNanoseconds,
                          static_cast<std::uint32_t>(timestampNanoseconds / 1000 * 90 / 1000));
    int maximumRate = 0;
    {
        std::lock_guard lock(mutex_);
        if (!limiter_.admit(timestampNanoseconds)) {
            return;
        }
        if (request_ && fitter_) {
            const VideoSourceFit fit =
                fitter_(buffer->width(), buffer->height(), request_->width, request_->height);
            if (fit.width < 2 || fit.height < 2 || fit.cropWidth < 2 || fit.cropHeight < 2) {
                return;
            }
            frame.crop = PixelRect{fit.cropX, fit.cropY, fit.cropWidth, fit.cropHeight};
            frame.adaptedWidth = fit.width;
            frame.adaptedHeight = fit.height;
        }
        maximumRate = request_ ? request_->framesPerSecond : 0;
    }
    step_(std::move(frame), maximumRate);
}

}  // namespace quillory
