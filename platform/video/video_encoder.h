#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/video/encoded_image.h"
#include "platform/video/video_codec_info.h"
#include "platform/video/video_frame.h"

namespace quillory {

struct VideoEncoderSettings {
    int width = 0;
    int height = 0;
    std::uint32_t startBitrateKbps = 0;
    std::uint32_t maxFramerate = 0;
    int cores = 1;
};

struct VideoEncoderQpThresholds {
    int low = 0;
    int high = 0;
};

// Receives each encoded image; the result is advisory and ignored by the encoders here.
using EncodedImageCallback =
    std::function<bool(const EncodedImage& image, const H264CodecSpecificInfo& info)>;

// An encoder as the media transport drives it. Operations answer videoCodecOk or
// videoCodecError. Threads: setCallback, startEncode, encode and releaseEncoder come from the
// transport's encoding sequence; setBitrate may come from another thread (the transport's rate
// controller), so an implementation must keep it safe against a concurrent encode. The callback
// runs on whichever thread the implementation documents.
class VideoEncoder {
  public:
    virtual ~VideoEncoder() = default;

    virtual void setCallback(EncodedImageCallback callback) = 0;
    virtual int startEncode(const VideoEncoderSettings& settings) = 0;
    virtual int releaseEncoder() = 0;
    virtual int encode(const VideoFrame& frame, const H264CodecSpecificInfo* info,
                       std::span<const VideoFrameType> frameTypes) = 0;
    virtual int setBitrate(std::uint32_t bitrateKbps, std::uint32_t framerate) = 0;
    virtual std::string implementationName() const = 0;
    virtual std::optional<VideoEncoderQpThresholds> scalingSettings() const = 0;
    virtual int resolutionAlignment() const = 0;
    virtual bool applyAlignmentToAllSimulcastLayers() const = 0;
    virtual bool supportsNativeHandle() const = 0;
};

// Makes encoders for the codecs it lists; createEncoder may answer none. Safe from any thread.
class VideoEncoderFactory {
  public:
    virtual ~VideoEncoderFactory() = default;
    virtual std::vector<VideoCodecInfo> supportedCodecs() const = 0;
    virtual std::shared_ptr<VideoEncoder> createEncoder(const VideoCodecInfo& info) = 0;
};

}  // namespace quillory
