#include <cerrno>
#include <deque>

#include "app/studio/studio_video_codec.h"

namespace quillory {
namespace {

// H264Codec gives at most one packet per frame, in order and with the frame's time; a frame
// older than a packet that came out never will (VAAPI's re-open drops what it held).
class LibavStudioCodec final : public StudioVideoCodec {
  public:
    explicit LibavStudioCodec(std::unique_ptr<H264Codec> codec) : codec_(std::move(codec)) {}

    std::optional<VideoError> encode(std::shared_ptr<PixelBuffer> buffer, bool keyframe,
                                     std::int64_t pts,
                                     std::vector<StudioCodecOutput>& outputs) override {
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
        return codec_->setFramesPerSecond(framesPerSecond);
    }

    void setOutputReady(std::function<void()>) override {}

    bool hardware() const override { return codec_->backend() == H264Backend::vaapi; }
    // libavcodec's error numbers for system errors are the negated errno values.
    int hardwareProbeStatus() const override { return hardware() ? 0 : -ENODEV; }

  private:
    void take(std::vector<StudioCodecOutput>& outputs) {
        for (H264Codec::Packet& packet : packets_) {
            while (!pending_.empty() && pending_.front() < packet.pts) {
                outputs.push_back({pending_.front(), 0, false, nullptr});
                pending_.pop_front();
            }
            if (!pending_.empty() && pending_.front() == packet.pts) {
                outputs.push_back({packet.pts, 0, false, std::move(packet.data)});
                pending_.pop_front();
            }
        }
    }

    std::unique_ptr<H264Codec> codec_;
    std::deque<std::int64_t> pending_;
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
