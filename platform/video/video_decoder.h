#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/video/encoded_image.h"
#include "platform/video/video_codec_info.h"
#include "platform/video/video_frame.h"

namespace quillory {

// Receives each decoded picture as an NV12 buffer with the image's RTP timestamp.
using DecodedFrameCallback = std::function<void(const VideoFrame& frame)>;

// A decoder as the media transport drives it; every call comes from its one decoding sequence
// and the callback runs on it, inside decode. Operations answer videoCodecOk or
// videoCodecError.
class VideoDecoder {
  public:
    virtual ~VideoDecoder() = default;

    virtual void setCallback(DecodedFrameCallback callback) = 0;
    virtual int startDecode(int cores) = 0;
    virtual int decode(const EncodedImage& image) = 0;
    virtual int releaseDecoder() = 0;
    virtual std::string implementationName() const = 0;
};

// Makes decoders for the codecs it lists; createDecoder may answer none. Safe from any thread.
class VideoDecoderFactory {
  public:
    virtual ~VideoDecoderFactory() = default;
    virtual std::vector<VideoCodecInfo> supportedCodecs() const = 0;
    virtual std::shared_ptr<VideoDecoder> createDecoder(const VideoCodecInfo& info) = 0;
};

}  // namespace quillory
