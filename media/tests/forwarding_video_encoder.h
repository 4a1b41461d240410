#pragma once

#include <memory>
#include <utility>

#include "platform/video/video_encoder.h"

namespace quillory {

// Hands every call to the encoder it wraps; tests override only the calls they watch or refuse.
class ForwardingVideoEncoder : public VideoEncoder {
  public:
    explicit ForwardingVideoEncoder(std::shared_ptr<VideoEncoder> inner)
        : inner_(std::move(inner)) {}

    void setCallback(EncodedImageCallback callback) override {
        inner_->setCallback(std::move(callback));
    }
    int startEncode(const VideoEncoderSettings& settings) override {
        return inner_->startEncode(settings);
    }
    int releaseEncoder() override { return inner_->releaseEncoder(); }
    int encode(const VideoFrame& frame, const H264CodecSpecificInfo* info,
               std::span<const VideoFrameType> frameTypes) override {
        return inner_->encode(frame, info, frameTypes);
    }
    int setBitrate(std::uint32_t bitrateKbps, std::uint32_t framerate) override {
        return inner_->setBitrate(bitrateKbps, framerate);
    }
    std::string implementationName() const override { return inner_->implementationName(); }
    std::optional<VideoEncoderQpThresholds> scalingSettings() const override {
        return inner_->scalingSettings();
    }
    int resolutionAlignment() const override { return inner_->resolutionAlignment(); }
    bool applyAlignmentToAllSimulcastLayers() const override {
        return inner_->applyAlignmentToAllSimulcastLayers();
    }
    bool supportsNativeHandle() const override { return inner_->supportsNativeHandle(); }

  private:
    const std::shared_ptr<VideoEncoder> inner_;
};

}  // namespace quillory
