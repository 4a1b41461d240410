#include "platform/video/encoded_image.h"

namespace quillory {

EncodedImage encodedImageOf(const VideoFrame& frame, std::shared_ptr<const Bytes> accessUnit,
                            bool keyframe, int width, int height) {
    EncodedImage image;
    image.buffer = std::move(accessUnit);
    image.encodedWidth = width;
    image.encodedHeight = height;
    image.rtpTimestamp = frame.rtpTimestamp;
    image.captureTimeMs = frame.captureTimeNs / 1'000'000;
    image.frameType = keyframe ? VideoFrameType::key : VideoFrameType::delta;
    image.rotation = frame.rotation;
    image.contentType = VideoContentType::screen;
    return image;
}

}  // namespace quillory
