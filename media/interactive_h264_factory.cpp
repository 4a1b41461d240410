#include "media/interactive_h264_factory.h"

#include "media/interactive_h264_encoder.h"
#include "platform/video/h264_plain_encoder.h"

namespace quillory {

InteractiveH264Factory::InteractiveH264Factory()
    : InteractiveH264Factory(std::make_shared<PlainH264EncoderFactory>()) {}

InteractiveH264Factory::InteractiveH264Factory(std::shared_ptr<VideoEncoderFactory> factory)
    : factory_(std::move(factory)) {}

std::shared_ptr<VideoEncoder> InteractiveH264Factory::createEncoder(const VideoCodecInfo& info) {
    if (info.name != "H264") {
        return nullptr;
    }
    std::shared_ptr<VideoEncoder> encoder = factory_->createEncoder(info);
    if (!encoder) {
        return nullptr;
    }
    return std::shared_ptr<VideoEncoder>(new InteractiveH264Encoder(std::move(encoder)));
}

}  // namespace quillory
