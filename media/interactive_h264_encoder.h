#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/video/video_encoder.h"

namespace quillory {

// Wraps an encoder and caps the frame rate its rate control is told about at the start's
// maximum frame rate, kept between 1 and 60. Every call is forwarded; the cap is atomic because
// rate changes may come from another thread than the one that starts the encoder.
class InteractiveH264Encoder final : public VideoEncoder {
  public:
    static constexpr std::uint32_t initialFramesPerSecond = 60;

    std::uint32_t expectedFramesPerSecond() const { return expectedFramesPerSecond_.load(); }

    void setCallback(EncodedImageCallback callback) override;
    int startEncode(const VideoEncoderSettings& settings) override;
    int releaseEncoder() override;
    int encode(const VideoFrame& frame, const H264CodecSpecificInfo* info,
               std::span<const VideoFrameType> frameTypes) override;
    int setBitrate(std::uint32_t bitrateKbps, std::uint32_t framerate) override;
    std::string implementationName() const override;
    std::optional<VideoEncoderQpThresholds> scalingSettings() const override;
    int resolutionAlignment() const override;
    bool applyAlignmentToAllSimulcastLayers() const override;
    bool supportsNativeHandle() const override;

  private:
    friend class InteractiveH264Factory;
    explicit InteractiveH264Encoder(std::shared_ptr<VideoEncoder> encoder);

    const std::shared_ptr<VideoEncoder> encoder_;
    std::atomic<std::uint32_t> expectedFramesPerSecond_{initialFramesPerSecond};
};

}  // namespace quillory
