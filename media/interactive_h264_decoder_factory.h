#pragma once

#include <memory>
#include <vector>

#include "platform/video/video_decoder.h"

namespace quillory {

// The decoder factory Studio negotiates with: the same codec list as InteractiveH264Factory, in
// front of the plain H.264 decoders. Safe from any thread.
class InteractiveH264DecoderFactory final : public VideoDecoderFactory {
  public:
    InteractiveH264DecoderFactory();
    explicit InteractiveH264DecoderFactory(std::shared_ptr<VideoDecoderFactory> factory);

    std::vector<VideoCodecInfo> supportedCodecs() const override;
    // For the name "H264": the wrapped factory's decoder; otherwise none.
    std::shared_ptr<VideoDecoder> createDecoder(const VideoCodecInfo& info) override;

  private:
    std::shared_ptr<VideoDecoderFactory> factory_;
};

}  // namespace quillory
