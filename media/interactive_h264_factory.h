#pragma once

#include <memory>
#include <vector>

#include "platform/video/video_encoder.h"

namespace quillory {

// The encoder factory Studio negotiates with: exactly one codec, H.264, in two profiles, in
// front of the plain H.264 encoders. Safe from any thread.
class InteractiveH264Factory final : public VideoEncoderFactory {
  public:
    InteractiveH264Factory();
    explicit InteractiveH264Factory(std::shared_ptr<VideoEncoderFactory> factory);

    // Constrained high, then constrained baseline, both at level 5.2; built once per process.
    static const std::vector<VideoCodecInfo>& codecList();

    std::vector<VideoCodecInfo> supportedCodecs() const override { return codecList(); }
    // For the name "H264" (profiles are not compared): the wrapped factory's encoder in an
    // InteractiveH264Encoder, or none when it gives none.
    std::shared_ptr<VideoEncoder> createEncoder(const VideoCodecInfo& info) override;

  private:
    std::shared_ptr<VideoEncoderFactory> factory_;
};

}  // namespace quillory
