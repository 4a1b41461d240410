#pragma once

#include <cstdint>
#include <memory>

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

}  // namespace quillory
