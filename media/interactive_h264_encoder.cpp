#include "media/interactive_h264_encoder.h"

#include <algorithm>

namespace quillory {

InteractiveH264Encoder::InteractiveH264Encoder(std::shared_ptr<VideoEncoder> encoder)
    : encoder_(std::move(encoder)) {}

void InteractiveH264Encoder::setCallback(EncodedImageCallback callback) {
    encoder_->setCallback(std::move(callback));
}

int InteractiveH264Encoder::startEncode(const VideoEncoderSettings& settings) {
    expectedFramesPerSecond_.store(std::clamp<std::uint32_t>(settings.maxFramerate, 1, 60));
    return encoder_->startEncode(settings);
}

int InteractiveH264Encoder::releaseEncoder() {
    return encoder_->releaseEncoder();
}

int InteractiveH264Encoder::encode(const VideoFrame& frame, const H264CodecSpecificInfo* info,
                                   std::span<const VideoFrameType> frameTypes) {
    return encoder_->encode(frame, info, frameTypes);
}

int InteractiveH264Encoder::setBitrate(std::uint32_t bitrateKbps, std::uint32_t) {
    // The transport's own frame-rate estimate is replaced by the capped start rate.
    return encoder_->setBitrate(bitrateKbps, expectedFramesPerSecond_.load());
}

std::string InteractiveH264Encoder::implementationName() const {
    return encoder_->implementationName();
}

std::optional<VideoEncoderQpThresholds> InteractiveH264Encoder::scalingSettings() const {
    return encoder_->scalingSettings();
}

int InteractiveH264Encoder::resolutionAlignment() const {
    return encoder_->resolutionAlignment();
}

bool InteractiveH264Encoder::applyAlignmentToAllSimulcastLayers() const {
    return encoder_->applyAlignmentToAllSimulcastLayers();
}

bool InteractiveH264Encoder::supportsNativeHandle() const {
    return encoder_->supportsNativeHandle();
}

}  // namespace quillory
