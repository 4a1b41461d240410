#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/crypto/crypto.h"
#include "platform/video/h264_codec.h"
#include "platform/video/pixel_buffer.h"
#include "platform/video/video_error.h"

namespace quillory {

// What came out for one frame sent to a codec, identified by the frame's presentation time.
struct StudioCodecOutput {
    std::int64_t pts = 0;
    // libavcodec's error number when the frame failed inside the codec, else 0.
    int status = 0;
    // The codec skipped the frame on purpose (rate control).
    bool dropped = false;
    // The Annex-B packet; none when the codec gave nothing for the frame.
    std::shared_ptr<const Bytes> data;
};

// The H.264 encoder under StudioHardwareEncoder: libavcodec in the product, a scripted fake in
// tests. Called from one thread at a time (the encoder's queue); only the ready notification may
// come from another thread.
class StudioVideoCodec {
  public:
    virtual ~StudioVideoCodec() = default;

    // Sends a frame of the codec's size with its presentation time in 1/600 s. Outputs that are
    // ready by the time it returns, of this frame or earlier ones, are appended to `outputs`.
    virtual std::optional<VideoError> encode(std::shared_ptr<PixelBuffer> buffer, bool keyframe,
                                             std::int64_t pts,
                                             std::vector<StudioCodecOutput>& outputs) = 0;
    // Outputs that became ready outside encode.
    virtual void drain(std::vector<StudioCodecOutput>& outputs) = 0;
    virtual std::optional<VideoError> setBitrate(std::uint32_t kbps) = 0;
    virtual std::optional<VideoError> setFramesPerSecond(int framesPerSecond) = 0;
    // Called, on any thread, when outputs become ready outside encode. Set before the first
    // frame; a codec whose outputs all come out of encode never calls it.
    virtual void setOutputReady(std::function<void()> ready) = 0;

    // A hardware encoder runs the stream.
    virtual bool hardware() const = 0;
    // 0 when the hardware probe opened an encoder, else why not as a libavcodec error number.
    virtual int hardwareProbeStatus() const = 0;
};

struct StudioCodecOpened {
    std::unique_ptr<StudioVideoCodec> codec;
    std::optional<VideoError> error;
};

using StudioVideoCodecOpener = std::function<StudioCodecOpened(const H264CodecConfig& config)>;

// Opens H264Codec: VAAPI when the probe opens an encoder, libx264 otherwise.
StudioVideoCodecOpener libavcodecOpener();

}  // namespace quillory
