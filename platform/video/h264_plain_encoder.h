#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/video/h264_codec.h"
#include "platform/video/video_encoder.h"

namespace quillory {

// The stand-in for the media framework's own H.264 encoder: synchronous on the caller's thread.
// Frames that need cropping or scaling are crop-scaled into buffers of its own pool first.
// One lock makes setBitrate safe from another thread; the callback runs on the thread that
// called encode, outside the lock.
class PlainH264Encoder final : public VideoEncoder {
  public:
    PlainH264Encoder() = default;
    ~PlainH264Encoder() override;

    void setCallback(EncodedImageCallback callback) override;
    int startEncode(const VideoEncoderSettings& settings) override;
    int releaseEncoder() override;
    int encode(const VideoFrame& frame, const H264CodecSpecificInfo* info,
               std::span<const VideoFrameType> frameTypes) override;
    int setBitrate(std::uint32_t bitrateKbps, std::uint32_t framerate) override;
    std::string implementationName() const override;
    std::optional<VideoEncoderQpThresholds> scalingSettings() const override {
        return std::nullopt;
    }
    int resolutionAlignment() const override { return 2; }
    bool applyAlignmentToAllSimulcastLayers() const override { return false; }
    bool supportsNativeHandle() const override { return true; }

    // The last error of start or encode, for diagnostics.
    std::optional<VideoError> lastError() const;

  private:
    mutable std::mutex mutex_;
    EncodedImageCallback callback_;
    std::unique_ptr<H264Codec> codec_;
    std::shared_ptr<PixelBufferPool> pool_;
    bool keyframePending_ = false;
    std::optional<VideoError> lastError_;
};

// Makes PlainH264Encoders for the codec name "H264".
class PlainH264EncoderFactory final : public VideoEncoderFactory {
  public:
    std::vector<VideoCodecInfo> supportedCodecs() const override;
    std::shared_ptr<VideoEncoder> createEncoder(const VideoCodecInfo& info) override;
};

}  // namespace quillory
