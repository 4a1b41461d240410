#include "platform/video/h264_plain_encoder.h"

#include <algorithm>

#include "platform/clock/clock.h"

namespace quillory {
namespace {

constexpr std::size_t scaledBuffers = 3;

std::int64_t uptimeMilliseconds() {
    return static_cast<std::int64_t>(uptimeNanoseconds() / 1'000'000);
}

}  // namespace

PlainH264Encoder::~PlainH264Encoder() = default;

void PlainH264Encoder::setCallback(EncodedImageCallback callback) {
    std::lock_guard lock(mutex_);
    callback_ = std::move(callback);
}

int PlainH264Encoder::startEncode(const VideoEncoderSettings& settings) {
    std::lock_guard lock(mutex_);
    codec_.reset();
    pool_.reset();
    H264CodecConfig config;
    config.width = settings.width;
    config.height = settings.height;
    config.bitrateKbps = settings.startBitrateKbps;
    config.framesPerSecond =
        static_cast<int>(std::clamp<std::uint32_t>(settings.maxFramerate, 1, 240));
    config.threads = std::max(1, settings.cores);
    auto opened = H264Codec::open(config);
    if (!opened.codec) {
        lastError_ = opened.error;
        return videoCodecError;
    }
    codec_ = std::move(opened.codec);
    pool_ = PixelBufferPool::create(settings.width, settings.height, scaledBuffers);
    keyframePending_ = false;
    lastError_.reset();
    return videoCodecOk;
}

int PlainH264Encoder::releaseEncoder() {
    std::lock_guard lock(mutex_);
    codec_.reset();
    pool_.reset();
    return videoCodecOk;
}

int PlainH264Encoder::encode(const VideoFrame& frame, const H264CodecSpecificInfo*,
                             std::span<const VideoFrameType> frameTypes) {
    const std::int64_t startMs = uptimeMilliseconds();
    std::vector<H264Codec::Packet> packets;
    EncodedImageCallback callback;
    int width = 0;
    int height = 0;
    {
        std::lock_guard lock(mutex_);
        if (!codec_ || !frame.buffer) {
            return videoCodecError;
        }
        width = codec_->width();
        height = codec_->height();
        keyframePending_ = keyframePending_ || std::find(frameTypes.begin(), frameTypes.end(),
                                                         VideoFrameType::key) != frameTypes.end();
        FittedFrame input = fitFrame(frame, width, height, pool_.get());
        if (input.error) {
            lastError_ = VideoError{0, input.error->message};
            return videoCodecError;
        }
        if (!input.buffer) {
            // Every scaled buffer is still inside the encoder: skip this frame, keep the keyframe
            // request for the next one.
            return videoCodecOk;
        }
        if (auto error = codec_->encode(std::move(input.buffer), keyframePending_, packets)) {
            lastError_ = error;
            return videoCodecError;
        }
        keyframePending_ = false;
        callback = callback_;
    }
    if (!callback) {
        return videoCodecOk;
    }
    for (H264Codec::Packet& packet : packets) {
        if (!packet.data) {
            continue;
        }
        EncodedImage image =
            encodedImageOf(frame, std::move(packet.data), packet.keyframe, width, height);
        image.encodeStartMs = startMs;
        image.encodeFinishMs = uptimeMilliseconds();
        image.qp = packet.qp;
        callback(image, H264CodecSpecificInfo{});
    }
    return videoCodecOk;
}

int PlainH264Encoder::setBitrate(std::uint32_t bitrateKbps, std::uint32_t framerate) {
    std::lock_guard lock(mutex_);
    if (!codec_) {
        return videoCodecError;
    }
    if (framerate > 0 &&
        codec_->setFramesPerSecond(static_cast<int>(std::min<std::uint32_t>(framerate, 240)))) {
        return videoCodecError;
    }
    if (bitrateKbps == 0) {
        // No rate to aim at; the last one stays.
        return videoCodecOk;
    }
    return codec_->setBitrate(bitrateKbps) ? videoCodecError : videoCodecOk;
}

std::string PlainH264Encoder::implementationName() const {
    std::lock_guard lock(mutex_);
    return codec_ ? std::string("libavcodec-") + codec_->backendName() : "libavcodec";
}

std::optional<VideoError> PlainH264Encoder::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

std::vector<VideoCodecInfo> PlainH264EncoderFactory::supportedCodecs() const {
    return {VideoCodecInfo{"H264", {{"packetization-mode", "1"}}}};
}

std::shared_ptr<VideoEncoder> PlainH264EncoderFactory::createEncoder(const VideoCodecInfo& info) {
    if (info.name != "H264") {
        return nullptr;
    }
    return std::make_shared<PlainH264Encoder>();
}

}  // namespace quillory
