#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/video/pixel_buffer.h"
#include "platform/video/pixel_conversion.h"

namespace quillory {

enum class VideoRotation { none = 0, clockwise90 = 90, clockwise180 = 180, clockwise270 = 270 };

// A raw frame on its way to an encoder: the buffer, the part of it the source shows and the size
// the source was asked to deliver, so the encoder can tell whether it must crop or scale.
struct VideoFrame {
    std::shared_ptr<PixelBuffer> buffer;
    PixelRect crop;
    int adaptedWidth = 0;
    int adaptedHeight = 0;
    VideoRotation rotation = VideoRotation::none;
    std::int64_t captureTimeNs = 0;  // uptime
    std::uint32_t rtpTimestamp = 0;

    // The whole buffer at its own size.
    static VideoFrame whole(std::shared_ptr<PixelBuffer> buffer, std::int64_t captureTimeNs,
                            std::uint32_t rtpTimestamp);

    bool requiresCropping() const;
    bool requiresScaling(int width, int height) const {
        return crop.width != width || crop.height != height;
    }
};

// A frame's picture at an encoder's size: the frame's own buffer when it already is that, else a
// buffer of the pool it was cropped and scaled into. Neither buffer nor error when the frame has no
// buffer or every buffer of the pool is still in use: the caller skips the frame.
struct FittedFrame {
    std::shared_ptr<PixelBuffer> buffer;
    std::optional<ConversionError> error;
};
FittedFrame fitFrame(const VideoFrame& frame, int width, int height, PixelBufferPool* pool);

}  // namespace quillory
