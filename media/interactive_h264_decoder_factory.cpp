#include "media/interactive_h264_decoder_factory.h"

#include "media/interactive_h264_factory.h"
#include "platform/video/h264_plain_decoder.h"

namespace quillory {

InteractiveH264DecoderFactory::InteractiveH264DecoderFactory()
    : InteractiveH264DecoderFactory(std::make_shared<PlainH264DecoderFactory>()) {}

InteractiveH264DecoderFactory::InteractiveH264DecoderFactory(
    std::shared_ptr<VideoDecoderFactory> factory)
    : factory_(std::move(factory)) {}

std::vector<VideoCodecInfo> InteractiveH264DecoderFactory::supportedCodecs() const {
    return InteractiveH264Factory::codecList();
}

std::shared_ptr<VideoDecoder> InteractiveH264DecoderFactory::createDecoder(
    const VideoCodecInfo& info) {
    if (info.name != "H264") {
        return nullptr;
    }
    return factory_->createDecoder(info);
}

}  // namespace quillory
