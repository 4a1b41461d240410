#include "platform/video/video_frame.h"

namespace quillory {

VideoFrame VideoFrame::whole(std::shared_ptr<PixelBuffer> buffer, std::int64_t captureTimeNs,
                             std::uint32_t rtpTimestamp) {
    VideoFrame frame;
    if (buffer) {
        frame.crop = PixelRect{0, 0, buffer->width(), buffer->height()};
        frame.adaptedWidth = buffer->width();
        frame.adaptedHeight = buffer->height();
    }
    frame.buffer = std::move(buffer);
    frame.captureTimeNs = captureTimeNs;
    frame.rtpTimestamp = rtpTimestamp;
    return frame;
}

bool VideoFrame::requiresCropping() const {
    return buffer && crop != PixelRect{0, 0, buffer->width(), buffer->height()};
}

FittedFrame fitFrame(const VideoFrame& frame, int width, int height, PixelBufferPool* pool) {
    if (!frame.buffer) {
        return {};
    }
    if (!frame.requiresCropping() && !frame.requiresScaling(width, height)) {
        return {frame.buffer, std::nullopt};
    }
    std::shared_ptr<PixelBuffer> target = pool != nullptr ? pool->take() : nullptr;
    if (!target) {
        return {};
    }
    if (auto error = cropAndScaleNv12(*frame.buffer, frame.crop, *target)) {
        return {nullptr, error};
    }
    return {std::move(target), std::nullopt};
}

}  // namespace quillory
