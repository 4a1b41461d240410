#pragma once

#include <cstdint>
#include <memory>

#include "platform/crypto/crypto.h"
#include "platform/video/video_frame.h"

namespace quillory {

enum class VideoFrameType : int { key = 3, delta = 4 };
enum class VideoContentType : int { unspecified = 0, screen = 1 };

// One encoded access unit. The Annex-B bytes are shared, never copied, on their way out.
struct EncodedImage {
    std::shared_ptr<const Bytes> buffer;
    int encodedWidth = 0;
    int encodedHeight = 0;
    std::uint32_t rtpTimestamp = 0;
    std::int64_t captureTimeMs = 0;
    std::int64_t encodeStartMs = 0;
    std::int64_t encodeFinishMs = 0;
    VideoFrameType frameType = VideoFrameType::delta;
    VideoRotation rotation = VideoRotation::none;
    VideoContentType contentType = VideoContentType::screen;
    int qp = -1;  // -1: unknown
};

// The screen image of one access unit encoded from `frame` at width×height; the encode times and
// QP are the encoder's to fill in.
EncodedImage encodedImageOf(const VideoFrame& frame, std::shared_ptr<const Bytes> accessUnit,
                            bool keyframe, int width, int height);

struct H264CodecSpecificInfo {
    int packetizationMode = 0;  // 0: non-interleaved
};

}  // namespace quillory
