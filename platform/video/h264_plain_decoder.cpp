#include "platform/video/h264_plain_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
}

#include <libyuv/convert_from.h>
#include <libyuv/planar_functions.h>

#include <cstring>

#include "platform/video/libav_error.h"

namespace quillory {
PlainH264Decoder::~PlainH264Decoder() {
    releaseDecoder();
}

void PlainH264Decoder::setCallback(DecodedFrameCallback callback) {
    callback_ = std::move(callback);
}

int PlainH264Decoder::startDecode(int) {
    releaseDecoder();
    const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (decoder == nullptr) {
        lastError_ = VideoError{AVERROR_DECODER_NOT_FOUND, "libavcodec has no H.264 decoder."};
        return videoCodecError;
    }
    context_ = avcodec_alloc_context3(decoder);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (context_ == nullptr || packet_ == nullptr || frame_ == nullptr) {
        lastError_ = libavError(AVERROR(ENOMEM), "Allocating the decoder");
        releaseDecoder();
        return videoCodecError;
    }
    context_->thread_count = 1;
    context_->flags |= AV_CODEC_FLAG_LOW_DELAY;
    const int result = avcodec_open2(context_, decoder, nullptr);
    if (result < 0) {
        lastError_ = libavError(result, "Opening the H.264 decoder");
        releaseDecoder();
        return videoCodecError;
    }
    return videoCodecOk;
}

int PlainH264Decoder::decode(const EncodedImage& image) {
    if (context_ == nullptr || !image.buffer || image.buffer->empty() ||
        image.buffer->size() > static_cast<std::size_t>(INT32_MAX)) {
        return videoCodecError;
    }
    // av_new_packet pads the copy as the parser requires.
    int result = av_new_packet(packet_, static_cast<int>(image.buffer->size()));
    if (result < 0) {
        lastError_ = libavError(result, "Allocating a packet");
        return videoCodecError;
    }
    std::memcpy(packet_->data, image.buffer->data(), image.buffer->size());
    packet_->pts = image.rtpTimestamp;
    result = avcodec_send_packet(context_, packet_);
    av_packet_unref(packet_);
    if (result < 0) {
        lastError_ = libavError(result, "Decoding an access unit");
        return videoCodecError;
    }
    return receive();
}

int PlainH264Decoder::receive() {
    for (;;) {
        const int result = avcodec_receive_frame(context_, frame_);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return videoCodecOk;
        }
        if (result < 0) {
            lastError_ = libavError(result, "Receiving a decoded picture");
            return videoCodecError;
        }
        auto buffer = PixelBuffer::allocate(frame_->width, frame_->height);
        const bool planar =
            frame_->format == AV_PIX_FMT_YUV420P || frame_->format == AV_PIX_FMT_YUVJ420P;
        if (!buffer || !planar) {
            lastError_ = VideoError{0, "The decoder gave a picture that is not even-sized 4:2:0."};
            av_frame_unref(frame_);
            return videoCodecError;
        }
        libyuv::I420ToNV12(frame_->data[0], frame_->linesize[0], frame_->data[1],
                           frame_->linesize[1], frame_->data[2], frame_->linesize[2],
                           buffer->dataY(), buffer->strideY(), buffer->dataUV(), buffer->strideUV(),
                           buffer->width(), buffer->height());
        const auto rtpTimestamp = static_cast<std::uint32_t>(frame_->pts);
        av_frame_unref(frame_);
        if (callback_) {
            callback_(VideoFrame::whole(std::move(buffer), 0, rtpTimestamp));
        }
    }
}

int PlainH264Decoder::releaseDecoder() {
    avcodec_free_context(&context_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    return videoCodecOk;
}

std::vector<VideoCodecInfo> PlainH264DecoderFactory::supportedCodecs() const {
    return {VideoCodecInfo{"H264", {{"packetization-mode", "1"}}}};
}

std::shared_ptr<VideoDecoder> PlainH264DecoderFactory::createDecoder(const VideoCodecInfo& info) {
    if (info.name != "H264") {
        return nullptr;
    }
    return std::make_shared<PlainH264Decoder>();
}

}  // namespace quillory
