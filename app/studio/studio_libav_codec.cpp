#include <cerrno>

#include "app/studio/studio_video_codec.h"

namespace quillory {
namespace {

// H264Codec tells every frame's outcome out of encode, so nothing is ever left to drain.
class LibavStudioCodec final : public StudioVideoCodec {
  public:
    explicit LibavStudioCodec(std::unique_ptr<H264Codec> codec) : codec_(std::move(codec)) {}

    std::optional<VideoError> encode(std::shared_ptr<PixelBuffer> buffer, bool keyframe,
                                     std::int64_t pts,
                                     std::vector<StudioCodecOutput>& outputs) override {
        packets_.clear();
        // A failure fails the stream, and the next start opens a new codec.
        if (auto error = codec_->encode(std::move(buffer), keyframe, pts, packets_)) {
            return error;
        }
        for (H264Codec::Packet& packet : packets_) {
            outputs.push_back({packet.pts, 0, false, std::move(packet.data)});
        }
        return std::nullopt;
    }

    void drain(std::vector<StudioCodecOutput>&) override {}

    std::optional<VideoError> setBitrate(std::uint32_t kbps) override {
        return codec_->setBitrate(kbps);
    }

    std::optional<VideoError> setFramesPerSecond(int framesPerSecond) override {
        return codec_->setFramesPerSecond(framesPerSecond);
    }

    void setOutputReady(std::function<void()>) override {}

    bool hardware() const override { return codec_->backend() == H264Backend::vaapi; }
    // libavcodec's error numbers for system errors are the negated errno values.
    int hardwareProbeStatus() const override { return hardware() ? 0 : -ENODEV; }

  private:
    std::unique_ptr<H264Codec> codec_;
    std::vector<H264Codec::Packet> packets_;
};

}  // namespace

StudioVideoCodecOpener libavcodecOpener() {
    return [](const H264CodecConfig& config) {
        auto opened = H264Codec::open(config);
        if (!opened.codec) {
            return StudioCodecOpened{nullptr, opened.error};
        }
        return StudioCodecOpened{std::make_unique<LibavStudioCodec>(std::move(opened.codec)),
                                 std::nullopt};
    };
}

}  // namespace quillory
