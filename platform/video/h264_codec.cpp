#include "platform/video/h264_codec.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/hwcontext.h>
#include <libavutil/opt.h>
}

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/clock/clock.h"
#include "platform/log/logger.h"
#include "platform/video/h264_bitstream_reader.h"
#include "platform/video/libav_error.h"

namespace quillory {
namespace {

constexpr int timeBase = 600;
// An IDR at least every 7200 frames and every 240 s of presentation time, whichever comes first
// at the rate frames run at.
constexpr int keyframeIntervalFrames = 7200;
constexpr std::int64_t keyframeIntervalTicks = std::int64_t{240} * timeBase;
// The driver's rate control may only read its rate at open: a large change re-opens it, at most
// this often.
constexpr std::uint64_t vaapiReopenIntervalNs = 2'000'000'000;
constexpr double vaapiReopenRatio = 1.25;
constexpr int maximumQp = 51;
constexpr std::int64_t x264BufferMilliseconds = 750;
// The pacer sends at 2.5 times the rate and lets no frame wait longer than 100 ms: a keyframe of
// a quarter second of the rate leaves at the paced rate, without a burst a slow link would drop.
constexpr std::int64_t keyframeBudgetMilliseconds = 250;
// libx264 plans a frame at most half of what its buffer holds when the buffer spans this many
// frames, all of it in a shorter one; the rows of a frame may overrun the plan by half of what
// the plan leaves in the buffer.
constexpr std::int64_t x264HalfBufferFrames = 5;
// Finer than this a picture looks no different; left free, the rate control refines a still
// screen towards lossless, and every frame then codes noise at the full rate and its CPU time.
constexpr int x264LowestQp = 18;

// Debug only (QUILLORY_DEBUG=video): the Studio host writes no log at the default level.
const Logger& logger() {
    static const Logger instance("video", "encoder");
    return instance;
}

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePointer = std::unique_ptr<AVFrame, FrameDeleter>;

void releaseHeldBuffer(void* opaque, std::uint8_t*) {
    delete static_cast<std::shared_ptr<PixelBuffer>*>(opaque);
}

// Wraps the buffer's planes without a copy; the frame holds a reference to the buffer.
std::optional<VideoError> wrapPlanes(const std::shared_ptr<PixelBuffer>& buffer, AVFrame& frame) {
    frame.format = AV_PIX_FMT_NV12;
    frame.width = buffer->width();
    frame.height = buffer->height();
    frame.data[0] = buffer->dataY();
    frame.linesize[0] = buffer->strideY();
    frame.data[1] = buffer->dataUV();
    frame.linesize[1] = buffer->strideUV();
    auto* held = new std::shared_ptr<PixelBuffer>(buffer);
    const auto size = static_cast<std::size_t>(buffer->strideY()) *
                      static_cast<std::size_t>(buffer->height()) * 3 / 2;
    frame.buf[0] =
        av_buffer_create(buffer->dataY(), size, releaseHeldBuffer, held, AV_BUFFER_FLAG_READONLY);
    if (frame.buf[0] == nullptr) {
        delete held;
        return libavError(AVERROR(ENOMEM), "Wrapping the frame");
    }
    return std::nullopt;
}

int qpFromSideData(const AVPacket& packet) {
    std::size_t size = 0;
    const std::uint8_t* stats = av_packet_get_side_data(&packet, AV_PKT_DATA_QUALITY_STATS, &size);
    if (stats == nullptr || size < 4) {
        return -1;
    }
    const std::uint32_t quality =
        static_cast<std::uint32_t>(stats[0]) | static_cast<std::uint32_t>(stats[1]) << 8 |
        static_cast<std::uint32_t>(stats[2]) << 16 | static_cast<std::uint32_t>(stats[3]) << 24;
    // libx264 reports its rate control's QP, which runs past 51 when it quantises harder than
    // the bitstream can say; the slices carry 51 then.
    return std::min(maximumQp, static_cast<int>((quality + FF_QP2LAMBDA / 2) / FF_QP2LAMBDA));
}

// The encoders write High without B-frames or field pictures but leave constraint_set4 and 5
// clear; setting them says Constrained High, the profile that was negotiated. The flags share a
// byte with nothing else right after the profile byte, so no emulation prevention changes.
void markConstrainedHigh(Bytes& accessUnit) {
    constexpr std::uint8_t highProfile = 100;
    constexpr std::uint8_t constraintSets4And5 = 0x0c;
    for (const H264NalUnit& unit : splitAnnexB(accessUnit)) {
        if (unit.type() == static_cast<int>(H264NalType::sps) && unit.bytes.size() > 3 &&
            unit.bytes[1] == highProfile) {
            accessUnit[static_cast<std::size_t>(unit.bytes.data() - accessUnit.data()) + 2] |=
                constraintSets4And5;
        }
    }
}

}  // namespace

H264Codec::Opened H264Codec::open(const H264CodecConfig& config) {
    if (!PixelBuffer::validSize(config.width, config.height)) {
        return {nullptr,
                VideoError{AVERROR(EINVAL), "The frame size " + std::to_string(config.width) + "×" +
                                                std::to_string(config.height) +
                                                " is not a positive even size."}};
    }
    if (config.bitrateKbps == 0 || config.framesPerSecond <= 0) {
        return {nullptr,
                VideoError{AVERROR(EINVAL), "The bitrate and frame rate must be positive."}};
    }
    std::unique_ptr<H264Codec> codec(new H264Codec(config));
    const bool nodeUsable =
        config.allowHardware && ::access(config.renderNode.c_str(), R_OK | W_OK) == 0;
    const int nodeError = errno;
    if (!config.allowHardware) {
        codec->backendReason_ = "hardware encoding was not allowed";
    } else if (!nodeUsable) {
        codec->backendReason_ =
            "no usable render node " + config.renderNode + " (" + std::strerror(nodeError) + ")";
    } else if (auto error = codec->openVaapi()) {
        codec->backendReason_ = "VAAPI did not open: " + error->message;
        codec->closeContext();
        codec->backend_ = H264Backend::x264;
    } else {
        codec->backend_ = H264Backend::vaapi;
        codec->backendReason_ = "VAAPI opened an H.264 encoder on " + config.renderNode;
    }
    if (codec->backend_ == H264Backend::x264) {
        if (auto error = codec->openX264()) {
            return {nullptr, error};
        }
    }
    logger().debug("H.264 encoder %dx%d at %u kbit/s: %s (%s)", config.width, config.height,
                   config.bitrateKbps, codec->backendName(), codec->backendReason_.c_str());
    return {std::move(codec), std::nullopt};
}

H264Codec::H264Codec(const H264CodecConfig& config) : config_(config) {}

H264Codec::~H264Codec() {
    closeContext();
}

void H264Codec::closeContext() {
    avcodec_free_context(&context_);
    av_packet_free(&packet_);
    av_buffer_unref(&hardwareFrames_);
    av_buffer_unref(&hardwareDevice_);
    inFlight_.clear();
}

// The rate controls budget each frame at the rate they opened with and read no timestamps
// (libx264 under zerolatency; variable timing would hold every frame back by one): the rate they
// are told scales with it, so each frame's share follows the rate frames now come at.
std::int64_t H264Codec::budgetedBitsPerSecond() const {
    return static_cast<std::int64_t>(config_.bitrateKbps) * 1000 * openedFramesPerSecond_ /
           config_.framesPerSecond;
}

void H264Codec::applyRate(bool keyframe) {
    const std::int64_t bitsPerSecond = static_cast<std::int64_t>(config_.bitrateKbps) * 1000;
    const std::int64_t budgeted = budgetedBitsPerSecond();
    context_->bit_rate = budgeted;
    if (backend_ == H264Backend::x264) {
        // libx264 changes its average rate while running only in constant-rate mode (ceiling
        // equal to the rate); with a higher ceiling it keeps the rate it opened with and pays
        // back an early overshoot at QP 51. Three quarters of a second of buffer let the frames
        // after a keyframe through without starving them.
        context_->rc_max_rate = budgeted;
        std::int64_t buffer = bitsPerSecond * x264BufferMilliseconds / 1000;
        if (keyframe) {
            // A buffer of four thirds of the budget plans the keyframe at two thirds of it and
            // stops its rows at the budget; a buffer of under five frames, all of which the frame
            // may take, is the budget itself, and never less than one frame, libx264's floor.
            const std::int64_t budget = bitsPerSecond * keyframeBudgetMilliseconds / 1000;
            const std::int64_t frame = bitsPerSecond / config_.framesPerSecond;
            buffer = 4 * budget / 3 >= x264HalfBufferFrames * frame ? 4 * budget / 3
                                                                    : std::max(budget, frame);
        }
        context_->rc_buffer_size = static_cast<int>(std::min<std::int64_t>(buffer, INT32_MAX));
        return;
    }
    // Average rate with a ceiling of 1.5 times it over any one second.
    context_->rc_max_rate = budgeted * 3 / 2;
    context_->rc_buffer_size =
        static_cast<int>(std::min<std::int64_t>(budgeted * 3 / 2, INT32_MAX));
}

void H264Codec::configureContext(int pixelFormat) {
    context_->width = config_.width;
    context_->height = config_.height;
    context_->pix_fmt = static_cast<AVPixelFormat>(pixelFormat);
    context_->color_range = AVCOL_RANGE_MPEG;
    context_->colorspace = AVCOL_SPC_SMPTE170M;
    // Synthetic presentation times in 1/600 s; no reordering; IDRs when asked for and at the
    // key-frame interval.
    context_->time_base = AVRational{1, timeBase};
    context_->framerate = AVRational{config_.framesPerSecond, 1};
    context_->gop_size = keyframeIntervalFrames;
    context_->max_b_frames = 0;
    openedFramesPerSecond_ = config_.framesPerSecond;
    applyRate();
}

std::optional<VideoError> H264Codec::openX264() {
    const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
    if (encoder == nullptr) {
        return VideoError{AVERROR_ENCODER_NOT_FOUND, "libavcodec was built without libx264."};
    }
    context_ = avcodec_alloc_context3(encoder);
    packet_ = av_packet_alloc();
    if (context_ == nullptr || packet_ == nullptr) {
        return libavError(AVERROR(ENOMEM), "Allocating the encoder");
    }
    configureContext(AV_PIX_FMT_NV12);
    context_->thread_count = std::max(1, config_.threads);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "ultrafast", 0);
    av_dict_set(&options, "tune", "zerolatency", 0);
    const bool high = config_.profile == H264Profile::constrainedHigh;
    av_dict_set(&options, "profile", high ? "high" : "baseline", 0);
    av_dict_set(&options, "forced-idr", "1", 0);
    // ultrafast turns CABAC and the 8×8 transform off; High is worth sending only with them.
    const std::string parameters = "scenecut=0:log=-1:qpmin=" + std::to_string(x264LowestQp) +
                                   (high ? ":cabac=1:8x8dct=1" : "");
    av_dict_set(&options, "x264-params", parameters.c_str(), 0);
    const int result = avcodec_open2(context_, encoder, &options);
    av_dict_free(&options);
    if (result < 0) {
        return libavError(result, "Opening libx264");
    }
    return std::nullopt;
}

std::optional<VideoError> H264Codec::openVaapi() {
    // The rate settings depend on the backend.
    backend_ = H264Backend::vaapi;
    int result = av_hwdevice_ctx_create(&hardwareDevice_, AV_HWDEVICE_TYPE_VAAPI,
                                        config_.renderNode.c_str(), nullptr, 0);
    if (result < 0) {
        return libavError(result, "Creating the VAAPI device");
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name("h264_vaapi");
    if (encoder == nullptr) {
        return VideoError{AVERROR_ENCODER_NOT_FOUND, "libavcodec was built without h264_vaapi."};
    }
    hardwareFrames_ = av_hwframe_ctx_alloc(hardwareDevice_);
    context_ = avcodec_alloc_context3(encoder);
    packet_ = av_packet_alloc();
    if (hardwareFrames_ == nullptr || context_ == nullptr || packet_ == nullptr) {
        return libavError(AVERROR(ENOMEM), "Allocating the VAAPI encoder");
    }
    auto* frames = reinterpret_cast<AVHWFramesContext*>(hardwareFrames_->data);
    frames->format = AV_PIX_FMT_VAAPI;
    frames->sw_format = AV_PIX_FMT_NV12;
    frames->width = config_.width;
    frames->height = config_.height;
    frames->initial_pool_size = 8;
    result = av_hwframe_ctx_init(hardwareFrames_);
    if (result < 0) {
        return libavError(result, "Creating the VAAPI frame pool");
    }
    context_->hw_frames_ctx = av_buffer_ref(hardwareFrames_);
    configureContext(AV_PIX_FMT_VAAPI);
    context_->profile = config_.profile == H264Profile::constrainedHigh
                            ? FF_PROFILE_H264_HIGH
                            : FF_PROFILE_H264_CONSTRAINED_BASELINE;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "async_depth", "1", 0);
    result = avcodec_open2(context_, encoder, &options);
    av_dict_free(&options);
    if (result < 0) {
        return libavError(result, "Opening h264_vaapi");
    }
    vaapiOpenedBitsPerSecond_ = context_->bit_rate;
    lastVaapiReopenNs_ = uptimeNanoseconds();
    return std::nullopt;
}

std::optional<VideoError> H264Codec::setBitrate(std::uint32_t kbps) {
    if (kbps == 0) {
        return VideoError{AVERROR(EINVAL), "The bitrate must be positive."};
    }
    config_.bitrateKbps = kbps;
    // libx264 re-reads the rate fields before its next frame; VAAPI takes them at a re-open.
    if (backend_ == H264Backend::x264) {
        applyRate();
    }
    return std::nullopt;
}

std::optional<VideoError> H264Codec::setFramesPerSecond(int framesPerSecond) {
    if (framesPerSecond <= 0) {
        return VideoError{AVERROR(EINVAL), "The frame rate must be positive."};
    }
    config_.framesPerSecond = framesPerSecond;
    if (backend_ == H264Backend::x264) {
        applyRate();
    }
    return std::nullopt;
}

// libavcodec hands VAAPI its rate control only with the first picture, so a change needs a new
// encoder and its IDR: only a large one, at most this often.
std::optional<VideoError> H264Codec::reopenVaapiIfDue(std::vector<Packet>& packets) {
    if (backend_ != H264Backend::vaapi || vaapiOpenedBitsPerSecond_ == 0) {
        return std::nullopt;
    }
    const double ratio = static_cast<double>(budgetedBitsPerSecond()) /
                         static_cast<double>(vaapiOpenedBitsPerSecond_);
    const bool large = ratio > vaapiReopenRatio || ratio < 1 / vaapiReopenRatio;
    const std::uint64_t now = uptimeNanoseconds();
    if (!large || now - lastVaapiReopenNs_ < vaapiReopenIntervalNs) {
        return std::nullopt;
    }
    // What the old encoder held never comes out.
    for (const auto& [pts, buffer] : inFlight_) {
        packets.push_back(Packet{nullptr, false, -1, pts});
    }
    closeContext();
    // A fresh encoder starts with an IDR, so the stream stays decodable.
    keyframePts_.reset();
    return openVaapi();
}

std::optional<VideoError> H264Codec::encode(std::shared_ptr<PixelBuffer> buffer, bool keyframe,
                                            std::vector<Packet>& packets) {
    const std::int64_t pts = nextPts_;
    return encode(std::move(buffer), keyframe, pts, packets);
}

std::optional<VideoError> H264Codec::encode(std::shared_ptr<PixelBuffer> buffer, bool keyframe,
                                            std::int64_t pts, std::vector<Packet>& packets) {
    if (!buffer || buffer->width() != config_.width || buffer->height() != config_.height) {
        return VideoError{AVERROR(EINVAL), "The frame does not have the encoder's size."};
    }
    if (auto error = reopenVaapiIfDue(packets)) {
        closeContext();
        return error;
    }
    // The encoders count frames only, so the time limit, which a lower frame rate reaches first,
    // is kept here; the first frame of an encoder is an IDR anyway.
    if (!keyframePts_ || framesSinceKeyframe_ >= keyframeIntervalFrames ||
        pts - *keyframePts_ >= keyframeIntervalTicks) {
        keyframe = true;
    }
    if (context_ == nullptr) {
        return VideoError{AVERROR(EINVAL), "The encoder is closed after a failed re-open."};
    }
    FramePointer frame(av_frame_alloc());
    if (!frame) {
        return libavError(AVERROR(ENOMEM), "Allocating a frame");
    }
    if (auto error = wrapPlanes(buffer, *frame)) {
        return error;
    }
    // Timestamps carry the frame rate.
    nextPts_ = pts + std::max(1, timeBase / config_.framesPerSecond);
    AVFrame* input = frame.get();
    FramePointer uploaded;
    if (backend_ == H264Backend::vaapi) {
        uploaded.reset(av_frame_alloc());
        if (!uploaded) {
            return libavError(AVERROR(ENOMEM), "Allocating a VAAPI frame");
        }
        int result = av_hwframe_get_buffer(hardwareFrames_, uploaded.get(), 0);
        if (result >= 0) {
            result = av_hwframe_transfer_data(uploaded.get(), frame.get(), 0);
        }
        if (result < 0) {
            return libavError(result, "Uploading the frame to VAAPI");
        }
        input = uploaded.get();
    }
    input->pts = pts;
    input->pict_type = keyframe ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    inFlight_.emplace_back(pts, std::move(buffer));
    // libavcodec passes a changed buffer to libx264 with the frame it sends, so the keyframe's
    // buffer holds for that frame alone; libx264 keeps what the buffer held up to the smaller
    // size and refills it at the rate. A stream already at the highest QP has no room under the
    // budget: held to it, the keyframe is quantised past what the bitstream can say and the
    // frames after it are skipped to refill the buffer. An encoder's first picture has no QP
    // before it to tell.
    const bool budgetKeyframe =
        keyframe && backend_ == H264Backend::x264 && lastQp_ >= 0 && lastQp_ < maximumQp;
    if (budgetKeyframe) {
        applyRate(true);
    }
    const int result = avcodec_send_frame(context_, input);
    if (budgetKeyframe) {
        applyRate();
    }
    if (result < 0) {
        inFlight_.pop_back();
        return libavError(result, "Sending the frame to the encoder");
    }
    if (keyframe) {
        keyframePts_ = pts;
        framesSinceKeyframe_ = 0;
    }
    ++framesSinceKeyframe_;
    return drain(packets);
}

std::optional<VideoError> H264Codec::drain(std::vector<Packet>& packets) {
    for (;;) {
        const int result = avcodec_receive_packet(context_, packet_);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return std::nullopt;
        }
        if (result < 0) {
            return libavError(result, "Receiving an encoded frame");
        }
        Packet out;
        out.keyframe = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
        Bytes data(packet_->data, packet_->data + packet_->size);
        if (out.keyframe && config_.profile == H264Profile::constrainedHigh) {
            markConstrainedHigh(data);
        }
        out.data = std::make_shared<const Bytes>(std::move(data));
        out.qp = qpFromSideData(*packet_);
        lastQp_ = out.qp;
        out.pts = packet_->pts;
        const std::int64_t pts = packet_->pts;
        av_packet_unref(packet_);
        // Frames are never reordered: one older than this packet will not come out.
        while (!inFlight_.empty() && inFlight_.front().first < pts) {
            packets.push_back(Packet{nullptr, false, -1, inFlight_.front().first});
            inFlight_.pop_front();
        }
        if (!inFlight_.empty() && inFlight_.front().first == pts) {
            inFlight_.pop_front();
        }
        if (streamProfile_.empty() && out.keyframe) {
            for (const H264NalUnit& unit : splitAnnexB(*out.data)) {
                if (auto sps = parseH264Sps(unit)) {
                    streamProfile_ = profileLevelId(*sps);
                    logger().debug("H.264 stream profile-level-id %s", streamProfile_.c_str());
                    break;
                }
            }
        }
        packets.push_back(std::move(out));
    }
}

}  // namespace quillory
