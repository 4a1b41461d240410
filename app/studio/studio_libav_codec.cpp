#include <cerrno>
#include <deque>

#include "app/studio/studio_video_codec.h"

namespace quillory {
namespace {

// H264Codec gives one packet per frame in order, so each packet belongs to the oldest frame
// still inside it.
class LibavStudioCodec final : public StudioVideoCodec {
  public:
    LibavStudioCodec(std::unique_ptr<H264Codec> codec, H264CodecConfig config)
        : codec_(std::move(codec)), config_(std::move(config)) {}

    std::optional<VideoError> encode(std::shared_ptr<PixelBuffer> buffer, bool keyframe,
                                     std::int64_t pts,
                                     std::vector<StudioCodecOutput>& outputs) override {
        outputs.insert(outputs.end(), lost_.begin(), lost_.end());
        lost_.clear();
        pending_.push_back(pts);
        packets_.clear();
        // A failure fails the stream, and the next start opens a new codec.
        if (auto error = codec_->encode(std::move(buffer), keyframe, pts, packets_)) {
            pending_.pop_back();
            return error;
        }
        take(outputs);
        return std::nullopt;
    }

    void drain(std::vector<StudioCodecOutput>&) override {}

    std::optional<VideoError> setBitrate(std::uint32_t kbps) override {
        return codec_->setBitrate(kbps);
    }

    std::optional<VideoError> setFramesPerSecond(int framesPerSecond) override {
        // Both backends read the frame rate only at open (libx264 runs at a constant rate under
        // zerolatency; variable timing would hold every frame back by one). A new encoder starts
        // with an IDR, so the stream stays decodable.
        config_.framesPerSecond = framesPerSecond;
        config_.bitrateKbps = codec_->bitrateKbps();
        auto reopened = H264Codec::open(config_);
        if (!reopened.codec) {
            return reopened.error;
        }
        codec_ = std::move(reopened.codec);
        // Frames the old encoder still held never come out: say so with the next outputs.
        for (const std::int64_t pts : pending_) {
            lost_.push_back({pts, 0, false, nullptr});
        }
        pending_.clear();
        return std::nullopt;
    }

    void setOutputReady(std::function<void()>) override {}

    bool hardware() const override { return codec_->backend() == H264Backend::vaapi; }
    // libavcodec's error numbers for system errors are the negated errno values.
    int hardwareProbeStatus() const override { return hardware() ? 0 : -ENODEV; }

  private:
    void take(std::vector<StudioCodecOutput>& outputs) {
        for (H264Codec::Packet& packet : packets_) {
            if (pending_.empty()) {
                break;
            }
            outputs.push_back({pending_.front(), 0, false, std::move(packet.data)});
            pending_.pop_front();
        }
    }

    std::unique_ptr<H264Codec> codec_;
    H264CodecConfig config_;
    std::deque<std::int64_t> pending_;
    std::vector<StudioCodecOutput> lost_;
    std::vector<H264Codec::Packet> packets_;
};

}  // namespace

StudioVideoCodecOpener libavcodecOpener() {
    return [](const H264CodecConfig& requested) {
        const H264CodecConfig& config = requested;
        auto opened = H264Codec::open(config);
        if (!opened.codec) {
            return StudioCodecOpened{nullptr, opened.error};
        }
        return StudioCodecOpened{
            std::make_unique<LibavStudioCodec>(std::move(opened.codec), config), std::nullopt};
    };
}

}  // namespace quillory
