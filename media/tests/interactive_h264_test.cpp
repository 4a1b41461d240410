#include <gtest/gtest.h>

#include "media/interactive_h264_decoder_factory.h"
#include "media/interactive_h264_encoder.h"
#include "media/interactive_h264_factory.h"

namespace quillory {
namespace {

// Records what reaches the wrapped encoder.
class RecordingEncoder final : public VideoEncoder {
  public:
    void setCallback(EncodedImageCallback callback) override { hasCallback = bool(callback); }
    int startEncode(const VideoEncoderSettings& settings) override {
        started = settings;
        return startResult;
    }
    int releaseEncoder() override { return ++releases, videoCodecOk; }
    int encode(const VideoFrame& frame, const H264CodecSpecificInfo*,
               std::span<const VideoFrameType> types) override {
        lastRtpTimestamp = frame.rtpTimestamp;
        lastTypes.assign(types.begin(), types.end());
        return videoCodecOk;
    }
    int setBitrate(std::uint32_t kbps, std::uint32_t framerate) override {
        rates.emplace_back(kbps, framerate);
        return videoCodecOk;
    }
    std::string implementationName() const override { return "recording"; }
    std::optional<VideoEncoderQpThresholds> scalingSettings() const override {
        return VideoEncoderQpThresholds{24, 37};
    }
    int resolutionAlignment() const override { return 4; }
    bool applyAlignmentToAllSimulcastLayers() const override { return true; }
    bool supportsNativeHandle() const override { return false; }

    VideoEncoderSettings started;
    int startResult = videoCodecOk;
    int releases = 0;
    bool hasCallback = false;
    std::uint32_t lastRtpTimestamp = 0;
    std::vector<VideoFrameType> lastTypes;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> rates;
};

class RecordingFactory final : public VideoEncoderFactory {
  public:
    std::vector<VideoCodecInfo> supportedCodecs() const override { return {}; }
    std::shared_ptr<VideoEncoder> createEncoder(const VideoCodecInfo& info) override {
        asked.push_back(info);
        return giveNone ? nullptr : (last = std::make_shared<RecordingEncoder>());
    }
    bool giveNone = false;
    std::vector<VideoCodecInfo> asked;
    std::shared_ptr<RecordingEncoder> last;
};

VideoCodecInfo h264(const char* profile) {
    return VideoCodecInfo{"H264", {{"profile-level-id", profile}}};
}

TEST(InteractiveH264, BothFactoriesListHighThenBaselineWithThreeParameters) {
    const auto encoders = InteractiveH264Factory().supportedCodecs();
    const auto decoders = InteractiveH264DecoderFactory().supportedCodecs();
    EXPECT_EQ(encoders, decoders);
    ASSERT_EQ(encoders.size(), 2u);
    const char* profiles[] = {"640c34", "42e034"};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(encoders[i].name, "H264");
        EXPECT_EQ(encoders[i].parameters.size(), 3u);
        EXPECT_EQ(encoders[i].parameters.at("profile-level-id"), profiles[i]);
    }
}

TEST(InteractiveH264, OnlyTheNameH264GivesAnEncoderOrDecoder) {
    auto wrapped = std::make_shared<RecordingFactory>();
    InteractiveH264Factory factory(wrapped);
    InteractiveH264DecoderFactory decoders;
    for (const char* name : {"h264", "VP8", "H264 ", ""}) {
        EXPECT_EQ(factory.createEncoder(VideoCodecInfo{name, {}}), nullptr) << name;
        EXPECT_EQ(decoders.createDecoder(VideoCodecInfo{name, {}}), nullptr) << name;
    }
    EXPECT_TRUE(wrapped->asked.empty());
    // Profiles are not compared: an unlisted one is passed on as asked.
    const auto encoder = factory.createEncoder(h264("4d0032"));
    ASSERT_NE(encoder, nullptr);
    ASSERT_EQ(wrapped->asked.size(), 1u);
    EXPECT_EQ(wrapped->asked[0], h264("4d0032"));
    EXPECT_EQ(static_cast<InteractiveH264Encoder&>(*encoder).expectedFramesPerSecond(), 60u);
    EXPECT_NE(decoders.createDecoder(h264("42e034")), nullptr);
    wrapped->giveNone = true;
    EXPECT_EQ(factory.createEncoder(h264("42e034")), nullptr);
}

TEST(InteractiveH264, RateChangesCarryTheStartFrameRateCapped) {
    const struct {
        std::uint32_t maxFramerate, forwarded;
    } cases[] = {{0, 1}, {1, 1}, {30, 30}, {60, 60}, {90, 60}, {120, 60}};
    for (const auto& c : cases) {
        auto wrapped = std::make_shared<RecordingFactory>();
        auto encoder = InteractiveH264Factory(wrapped).createEncoder(h264("42e034"));
        const VideoEncoderSettings settings{1280, 720, 2000, c.maxFramerate, 3};
        ASSERT_EQ(encoder->startEncode(settings), videoCodecOk);
        EXPECT_EQ(wrapped->last->started.maxFramerate, c.maxFramerate);  // unchanged
        EXPECT_EQ(wrapped->last->started.cores, 3);
        ASSERT_EQ(encoder->setBitrate(1500, 30), videoCodecOk);
        ASSERT_EQ(wrapped->last->rates.size(), 1u);
        EXPECT_EQ(wrapped->last->rates[0], std::make_pair(1500u, c.forwarded)) << c.maxFramerate;
    }
}

TEST(InteractiveH264, EveryOtherCallIsForwarded) {
    auto wrapped = std::make_shared<RecordingFactory>();
    auto encoder = InteractiveH264Factory(wrapped).createEncoder(h264("640c34"));
    RecordingEncoder& inner = *wrapped->last;
    inner.startResult = videoCodecError;
    EXPECT_EQ(encoder->startEncode({}), videoCodecError);
    encoder->setCallback([](const EncodedImage&, const H264CodecSpecificInfo&) { return true; });
    EXPECT_TRUE(inner.hasCallback);
    encoder->setCallback(nullptr);
    EXPECT_FALSE(inner.hasCallback);
    VideoFrame frame;
    frame.rtpTimestamp = 4242;
    const VideoFrameType key[] = {VideoFrameType::key};
    EXPECT_EQ(encoder->encode(frame, nullptr, key), videoCodecOk);
    EXPECT_EQ(inner.lastRtpTimestamp, 4242u);
    EXPECT_EQ(inner.lastTypes, std::vector<VideoFrameType>{VideoFrameType::key});
    EXPECT_EQ(encoder->releaseEncoder(), videoCodecOk);
    EXPECT_EQ(inner.releases, 1);
    EXPECT_EQ(encoder->implementationName(), "recording");
    EXPECT_EQ(encoder->scalingSettings()->high, 37);
    EXPECT_EQ(encoder->resolutionAlignment(), 4);
    EXPECT_TRUE(encoder->applyAlignmentToAllSimulcastLayers());
    EXPECT_FALSE(encoder->supportsNativeHandle());
}

}  // namespace
}  // namespace quillory
