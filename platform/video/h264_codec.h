#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/crypto/crypto.h"
#include "platform/video/pixel_buffer.h"
#include "platform/video/video_error.h"

struct AVBufferRef;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace quillory {

// The two profiles the codec list offers. High keeps CABAC and the 8×8 transform; both have no
// B-frames.
enum class H264Profile { constrainedBaseline, constrainedHigh };

struct H264CodecConfig {
    int width = 0;
    int height = 0;
    std::uint32_t bitrateKbps = 0;
    int framesPerSecond = 30;
    int threads = 1;
    bool allowHardware = true;
    std::string renderNode = "/dev/dri/renderD128";
    H264Profile profile = H264Profile::constrainedBaseline;
};

enum class H264Backend { vaapi, x264 };

// One H.264 encoder: VAAPI on the render node when the driver opens an encoder, libx264
// otherwise. Constrained baseline or high, no frame reordering, SPS and PPS in front of every IDR,
// one access unit out per frame in. Used from one thread at a time.
class H264Codec {
  public:
    struct Opened {
        std::unique_ptr<H264Codec> codec;
        std::optional<VideoError> error;
    };
    // Refuses a zero or odd size, a zero bitrate or frame rate; never fails for lack of hardware.
    static Opened open(const H264CodecConfig& config);

    struct Packet {
        // The Annex-B access unit; none for a frame the encoder dropped, told when a later
        // frame's packet comes out or a re-open discards what the encoder held.
        std::shared_ptr<const Bytes> data;
        bool keyframe = false;
        int qp = -1;  // -1 when the encoder does not report it
        std::int64_t pts = 0;
    };

    ~H264Codec();
    H264Codec(const H264Codec&) = delete;
    H264Codec& operator=(const H264Codec&) = delete;

    // Encodes a buffer of the codec's size straight from its planes; the buffer stays referenced
    // until its access unit is out. Packets that came out are appended to `packets`, one per
    // frame, in the order the frames went in.
    std::optional<VideoError> encode(std::shared_ptr<PixelBuffer> buffer, bool keyframe,
                                     std::vector<Packet>& packets);
    // The same with the caller's presentation time in 1/600 s, strictly increasing.
    std::optional<VideoError> encode(std::shared_ptr<PixelBuffer> buffer, bool keyframe,
                                     std::int64_t pts, std::vector<Packet>& packets);
    // Both take effect from the next frame on, without a new encoder or a keyframe (VAAPI: see
    // reopenVaapiIfDue).
    std::optional<VideoError> setBitrate(std::uint32_t kbps);
    std::optional<VideoError> setFramesPerSecond(int framesPerSecond);

    H264Backend backend() const { return backend_; }
    const std::string& backendReason() const { return backendReason_; }
    const char* backendName() const { return backend_ == H264Backend::vaapi ? "vaapi" : "x264"; }
    int width() const { return config_.width; }
    int height() const { return config_.height; }
    std::uint32_t bitrateKbps() const { return config_.bitrateKbps; }
    int framesPerSecond() const { return config_.framesPerSecond; }
    // The profile-level-id read from the first SPS that came out; empty before it.
    const std::string& streamProfileLevelId() const { return streamProfile_; }

  private:
    explicit H264Codec(const H264CodecConfig& config);
    std::optional<VideoError> openX264();
    std::optional<VideoError> openVaapi();
    void configureContext(int pixelFormat);
    void closeContext();
    // With `keyframe`, the buffer that holds an IDR to the size the pacer sends without a burst.
    void applyRate(bool keyframe = false);
    std::int64_t budgetedBitsPerSecond() const;
    std::optional<VideoError> drain(std::vector<Packet>& packets);
    std::optional<VideoError> reopenVaapiIfDue(std::vector<Packet>& packets);

    H264CodecConfig config_;
    H264Backend backend_ = H264Backend::x264;
    std::string backendReason_;
    AVCodecContext* context_ = nullptr;
    AVBufferRef* hardwareDevice_ = nullptr;
    AVBufferRef* hardwareFrames_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::int64_t nextPts_ = 0;
    // Buffers inside the encoder, by presentation time, until their packet is out.
    std::deque<std::pair<std::int64_t, std::shared_ptr<PixelBuffer>>> inFlight_;
    // The frame rate the rate control was opened with; it budgets every frame at that rate.
    int openedFramesPerSecond_ = 0;
    // The rate the VAAPI driver was opened with, in bit/s.
    std::int64_t vaapiOpenedBitsPerSecond_ = 0;
    std::uint64_t lastVaapiReopenNs_ = 0;
    // The last IDR sent in and the frames sent in since, itself included.
    std::optional<std::int64_t> keyframePts_;
    int framesSinceKeyframe_ = 0;
    // The QP of the last packet out; -1 before the first.
    int lastQp_ = -1;
    std::string streamProfile_;
};

}  // namespace quillory
