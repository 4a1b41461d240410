// The encoder with the real libx264 behind it, on small frames.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <random>

#include "app/studio/studio_hardware_encoder.h"
#include "app/studio/studio_hardware_encoder_factory.h"
#include "media/interactive_h264_factory.h"
#include "platform/clock/testing/fake_clock.h"
#include "platform/video/h264_bitstream_reader.h"
#include "platform/video/h264_plain_decoder.h"
#include "tests/support/frame_barcode.h"
#include "tests/support/synthetic_desktop.h"

namespace quillory {
namespace {

constexpr int frameWidth = 640;
constexpr int frameHeight = 360;

// Changes everywhere every frame, so the rate control always has more to spend than it may.
std::shared_ptr<PixelBuffer> noisyFrame(std::uint32_t seed) {
    auto buffer = PixelBuffer::allocate(frameWidth, frameHeight);
    std::minstd_rand random(seed + 1);
    for (int y = 0; y < frameHeight * 3 / 2; ++y) {
        std::uint8_t* row = buffer->dataY() + static_cast<std::size_t>(y) *
                                                  static_cast<std::size_t>(buffer->strideY());
        for (int x = 0; x < frameWidth; ++x) {
            row[x] = static_cast<std::uint8_t>(96 + random() % 48);
        }
    }
    return buffer;
}

std::shared_ptr<PixelBuffer> desktopFrame(std::uint32_t counter) {
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(frameWidth * frameHeight * 4));
    testing::paintSyntheticDesktop(bgrx.data(), frameWidth, frameHeight, frameWidth * 4,
                                   static_cast<int>(counter) * 4);
    testing::paintFrameBarcode(counter, bgrx.data(), frameWidth, frameHeight, frameWidth * 4);
    auto buffer = PixelBuffer::allocate(frameWidth, frameHeight);
    EXPECT_FALSE(
        convertBgrxToNv12({bgrx.data(), frameWidth, frameHeight, frameWidth * 4}, *buffer));
    return buffer;
}

// The NAL unit types in order, a run of slices of one picture counted once, without libx264's
// SEI (its version text in the first picture).
std::vector<int> nalTypes(const EncodedImage& image) {
    std::vector<int> types;
    for (const H264NalUnit& unit : splitAnnexB(*image.buffer)) {
        if (unit.type() != static_cast<int>(H264NalType::sei) &&
            (types.empty() || types.back() != unit.type())) {
            types.push_back(unit.type());
        }
    }
    return types;
}

class StudioHardwareEncoderX264Test : public ::testing::Test {
  protected:
    void SetUp() override {
        factory = std::make_unique<StudioHardwareEncoderFactory>(
            [this](const std::string& message) {
                std::lock_guard lock(mutex);
                failures.push_back(message);
            },
            // Still time: a frame the pump takes late is dropped as stale, and how late a loaded
            // machine takes it is not what these tests are about.
            std::make_shared<FakeClock>(),
            [](const H264CodecConfig& config) {
                // Software only, whatever the machine has.
                H264CodecConfig software = config;
                software.allowHardware = false;
                return libavcodecOpener()(software);
            });
        encoder = std::static_pointer_cast<StudioHardwareEncoder>(
            factory->createEncoder(InteractiveH264Factory::codecList()[1]));
        ASSERT_TRUE(encoder);
        encoder->setCallback([this](const EncodedImage& image, const H264CodecSpecificInfo&) {
            std::lock_guard lock(mutex);
            images.push_back(image);
            return true;
        });
    }

    void TearDown() override {
        encoder->releaseEncoder();
        EXPECT_TRUE(failures.empty()) << failures.front();
    }

    // One frame at a time: each is encoded before the next arrives.
    void encodeOne(std::shared_ptr<PixelBuffer> buffer, std::uint32_t rtp, bool keyframe = false) {
        const VideoFrameType types[] = {keyframe ? VideoFrameType::key : VideoFrameType::delta};
        ASSERT_EQ(encoder->encode(VideoFrame::whole(std::move(buffer), 0, rtp), nullptr, types),
                  videoCodecOk);
        ASSERT_TRUE(encoder->waitForQueue());
    }

    double meanBytes(std::size_t first, std::size_t count) {
        std::lock_guard lock(mutex);
        EXPECT_GE(images.size(), first + count);
        double total = 0;
        for (std::size_t i = first; i < first + count && i < images.size(); ++i) {
            total += static_cast<double>(images[i].buffer->size());
        }
        return total / static_cast<double>(count);
    }

    std::unique_ptr<StudioHardwareEncoderFactory> factory;
    std::shared_ptr<StudioHardwareEncoder> encoder;
    std::mutex mutex;
    std::vector<std::string> failures;
    std::vector<EncodedImage> images;
};

TEST_F(StudioHardwareEncoderX264Test, FirstOutputAndRequestedKeyframesCarryTheirParameterSets) {
    ASSERT_EQ(encoder->startEncode({frameWidth, frameHeight, 2000, 60, 1}), videoCodecOk);
    encodeOne(desktopFrame(1), 1);
    encodeOne(desktopFrame(2), 2);
    encodeOne(desktopFrame(3), 3, true);
    std::lock_guard lock(mutex);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(nalTypes(images[0]), (std::vector<int>{7, 8, 5}));
    EXPECT_EQ(images[0].frameType, VideoFrameType::key);
    EXPECT_EQ(nalTypes(images[1]), std::vector<int>{1});
    EXPECT_EQ(images[1].frameType, VideoFrameType::delta);
    EXPECT_EQ(nalTypes(images[2]), (std::vector<int>{7, 8, 5}));
    EXPECT_EQ(images[2].frameType, VideoFrameType::key);
    const auto settings = factory->metrics()->snapshot();
    EXPECT_EQ(settings.setting("encoderHardware"), 0);
    // libx264 runs with its ceiling at the average, not 1.5 times it.
    EXPECT_EQ(settings.setting("encoderBurstLimitApplied"), 0);
    EXPECT_EQ(settings.value("encoderCallbackQueueMaximumMS"), 0);
}

TEST_F(StudioHardwareEncoderX264Test, LowerBitrateShowsInTheNextSecond) {
    factory->cadence()->setFramesPerSecond(30);
    ASSERT_EQ(encoder->startEncode({frameWidth, frameHeight, 4000, 30, 1}), videoCodecOk);
    std::uint32_t index = 0;
    for (; index < 60; ++index) {
        encodeOne(noisyFrame(index), index);
    }
    ASSERT_EQ(encoder->setBitrate(1000, 30), videoCodecOk);
    for (; index < 90; ++index) {
        encodeOne(noisyFrame(index), index);
    }
    const double high = meanBytes(30, 30);
    // 4 Mbit/s at 30 frames/s is 16.7 kB a frame, 1 Mbit/s 4.2 kB. libx264's rate control
    // pays back the buffer it saved at the higher rate, so the drop deepens over the second.
    EXPECT_GT(high, 12'000);
    EXPECT_LT(meanBytes(60, 30), high * 0.75);
    EXPECT_LT(meanBytes(80, 10), high * 0.5);
}

TEST_F(StudioHardwareEncoderX264Test, BytesPerFrameFollowTheCadenceAtOneBitrate) {
    ASSERT_EQ(encoder->startEncode({frameWidth, frameHeight, 3000, 60, 1}), videoCodecOk);
    std::uint32_t index = 0;
    for (; index < 120; ++index) {
        encodeOne(noisyFrame(index), index);
    }
    factory->cadence()->setFramesPerSecond(30);
    for (; index < 180; ++index) {
        encodeOne(noisyFrame(index), index);
    }
    const double at60 = meanBytes(60, 60);
    const double at30 = meanBytes(150, 30);
    EXPECT_GT(at30, at60 * 1.6);
    EXPECT_LT(at30, at60 * 2.5);
    // The step keeps the encoder: every frame comes out and only the first is a keyframe.
    std::lock_guard lock(mutex);
    ASSERT_EQ(images.size(), 180u);
    EXPECT_EQ(std::count_if(
                  images.begin(), images.end(),
                  [](const EncodedImage& image) { return image.frameType == VideoFrameType::key; }),
              1);
}

TEST_F(StudioHardwareEncoderX264Test, DecodedPicturesCarryTheCountersOfTheFramesThePumpEncoded) {
    ASSERT_EQ(encoder->startEncode({frameWidth, frameHeight, 3000, 60, 1}), videoCodecOk);
    // Bursts of frames: some replace each other while the pump is busy.
    for (std::uint32_t counter = 1; counter <= 60; ++counter) {
        const VideoFrameType types[] = {VideoFrameType::delta};
        ASSERT_EQ(
            encoder->encode(VideoFrame::whole(desktopFrame(counter), 0, counter), nullptr, types),
            videoCodecOk);
        if (counter % 4 == 0) {
            ASSERT_TRUE(encoder->waitForQueue());
        }
    }
    ASSERT_TRUE(encoder->waitForQueue());
    ASSERT_TRUE(encoder->waitForQueue());

    PlainH264Decoder decoder;
    ASSERT_EQ(decoder.startDecode(1), videoCodecOk);
    std::vector<std::uint32_t> decoded;
    decoder.setCallback([&](const VideoFrame& frame) {
        const auto counter = testing::readFrameBarcode(*frame.buffer);
        ASSERT_TRUE(counter);
        decoded.push_back(*counter);
    });
    std::vector<std::uint32_t> sent;
    std::lock_guard lock(mutex);
    for (const EncodedImage& image : images) {
        sent.push_back(image.rtpTimestamp);
        ASSERT_EQ(decoder.decode(image), videoCodecOk);
    }
    EXPECT_EQ(decoded, sent);
    const auto metrics = factory->metrics()->snapshot();
    EXPECT_EQ(static_cast<double>(sent.size()), metrics.value("encoderSubmittedFrames"));
    EXPECT_EQ(60.0, metrics.value("encoderSubmittedFrames") +
                        metrics.value("encoderReplacedRawFrames") +
                        metrics.value("encoderDiscardedRawFrames"));
}

}  // namespace
}  // namespace quillory
