#pragma once

#include <memory>

#include "platform/video/video_decoder.h"
#include "platform/video/video_error.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace quillory {

// The stand-in for the media framework's own H.264 decoder: libavcodec's decoder without frame
// threading, so each access unit gives its picture during decode. Pictures come out as NV12.
class PlainH264Decoder final : public VideoDecoder {
  public:
    PlainH264Decoder() = default;
    ~PlainH264Decoder() override;

    void setCallback(DecodedFrameCallback callback) override;
    int startDecode(int cores) override;
    int decode(const EncodedImage& image) override;
    int releaseDecoder() override;
    std::string implementationName() const override { return "libavcodec-h264"; }

    const std::optional<VideoError>& lastError() const { return lastError_; }

  private:
    int receive();

    DecodedFrameCallback callback_;
    AVCodecContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    std::optional<VideoError> lastError_;
};

class PlainH264DecoderFactory final : public VideoDecoderFactory {
  public:
    std::vector<VideoCodecInfo> supportedCodecs() const override;
    std::shared_ptr<VideoDecoder> createDecoder(const VideoCodecInfo& info) override;
};

}  // namespace quillory
