#include "platform/video/h264_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "platform/video/h264_bitstream_reader.h"
#include "platform/video/h264_plain_decoder.h"
#include "platform/video/h264_plain_encoder.h"
#include "platform/video/pixel_conversion.h"
#include "tests/support/frame_barcode.h"
#include "tests/support/synthetic_desktop.h"

namespace quillory {
namespace {

using testing::paintFrameBarcode;
using testing::readFrameBarcode;

std::unique_ptr<H264Codec> openX264(int width, int height, std::uint32_t kbps, int threads = 1,
                                    H264Profile profile = H264Profile::constrainedBaseline) {
    H264CodecConfig config;
    config.profile = profile;
    config.width = width;
    config.height = height;
    config.bitrateKbps = kbps;
    config.framesPerSecond = 30;
    config.threads = threads;
    config.allowHardware = false;
    auto opened = H264Codec::open(config);
    EXPECT_TRUE(opened.codec) << (opened.error ? opened.error->message : "");
    return std::move(opened.codec);
}

// Desktop-like content scrolled by `index`, with the counter painted in.
std::shared_ptr<PixelBuffer> desktopFrame(int width, int height, int index, std::uint32_t counter) {
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(width * height * 4));
    testing::paintSyntheticDesktop(bgrx.data(), width, height, width * 4, index * 6);
    paintFrameBarcode(counter, bgrx.data(), width, height, width * 4);
    auto buffer = PixelBuffer::allocate(width, height);
    EXPECT_FALSE(convertBgrxToNv12({bgrx.data(), width, height, width * 4}, *buffer));
    return buffer;
}

// Noise that changes every frame: faint noise takes whatever rate it is given, loud noise more
// than any rate here can carry.
std::shared_ptr<PixelBuffer> noiseFrame(int width, int height, int index, int amplitude = 32) {
    auto buffer = PixelBuffer::allocate(width, height);
    std::uint32_t state = 2463534242u + static_cast<std::uint32_t>(index) * 7919u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<std::uint8_t>(state);
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            buffer->dataY()[y * buffer->strideY() + x] =
                static_cast<std::uint8_t>(100 + next() % amplitude);
        }
    }
    for (int y = 0; y < height / 2; ++y) {
        for (int x = 0; x < width; ++x) {
            buffer->dataUV()[y * buffer->strideUV() + x] =
                static_cast<std::uint8_t>(120 + next() % (amplitude / 2));
        }
    }
    return buffer;
}

std::vector<H264Codec::Packet> encodeOne(H264Codec& codec, std::shared_ptr<PixelBuffer> frame,
                                         bool keyframe = false) {
    std::vector<H264Codec::Packet> packets;
    const auto error = codec.encode(std::move(frame), keyframe, packets);
    EXPECT_FALSE(error) << error->message;
    return packets;
}

std::vector<int> nalTypes(const Bytes& accessUnit) {
    std::vector<int> types;
    for (const auto& unit : splitAnnexB(accessUnit)) {
        types.push_back(unit.type());
    }
    return types;
}

bool parameterSetsBeforeIdr(const std::vector<int>& types) {
    const auto sps = std::find(types.begin(), types.end(), 7);
    const auto pps = std::find(types.begin(), types.end(), 8);
    const auto idr = std::find(types.begin(), types.end(), 5);
    return sps < pps && pps < idr && idr != types.end();
}

TEST(H264Codec, FirstOutputIsAnIdrWithItsParameterSetsThenOnePacketPerFrame) {
    // Constrained baseline: profile 66 with constraint_set1, CAVLC. Constrained high: profile 100
    // with constraint_set4 and 5, CABAC.
    const struct {
        H264Profile profile;
        const char* profileIdc;
        int constraints;
        bool cabac;
    } cases[] = {{H264Profile::constrainedBaseline, "42", 0x40, false},
                 {H264Profile::constrainedHigh, "64", 0x0c, true}};
    for (const auto& c : cases) {
        auto codec = openX264(320, 240, 800, 1, c.profile);
        ASSERT_TRUE(codec);
        EXPECT_EQ(codec->backend(), H264Backend::x264);
        EXPECT_FALSE(codec->backendReason().empty());
        for (int i = 0; i < 10; ++i) {
            const auto packets = encodeOne(*codec, desktopFrame(320, 240, i, 0));
            ASSERT_EQ(packets.size(), 1u) << "frame " << i;
            const auto types = nalTypes(*packets[0].data);
            EXPECT_EQ(packets[0].keyframe, i == 0);
            EXPECT_EQ(parameterSetsBeforeIdr(types), i == 0);
            if (i > 0) {
                EXPECT_EQ(std::count(types.begin(), types.end(), 5), 0);
            } else {
                for (const auto& unit : splitAnnexB(*packets[0].data)) {
                    // pic_parameter_set_id and seq_parameter_set_id 0, then the entropy flag.
                    if (unit.type() == 8) {
                        EXPECT_EQ((unit.bytes[1] & 0x20) != 0, c.cabac);
                    }
                }
            }
        }
        const std::string profileLevelId = codec->streamProfileLevelId();
        ASSERT_EQ(profileLevelId.size(), 6u);
        EXPECT_EQ(profileLevelId.substr(0, 2), c.profileIdc);
        EXPECT_EQ(std::stoi(profileLevelId.substr(2, 2), nullptr, 16) & c.constraints,
                  c.constraints);
    }
}

TEST(H264Codec, RequestedKeyframeIsTheNextFrameWithParameterSets) {
    auto codec = openX264(320, 240, 800);
    ASSERT_TRUE(codec);
    for (int i = 0; i < 5; ++i) {
        encodeOne(*codec, desktopFrame(320, 240, i, 0));
    }
    const auto key = encodeOne(*codec, desktopFrame(320, 240, 5, 0), true);
    ASSERT_EQ(key.size(), 1u);
    EXPECT_TRUE(key[0].keyframe);
    EXPECT_TRUE(parameterSetsBeforeIdr(nalTypes(*key[0].data)));
    const auto after = encodeOne(*codec, desktopFrame(320, 240, 6, 0));
    ASSERT_EQ(after.size(), 1u);
    EXPECT_FALSE(after[0].keyframe);
}

// 7200 frames at 60 frames/s are 120 s; at 1 frame/s 240 s come first.
TEST(H264Codec, KeyframesComeEvery7200FramesOrEvery240SecondsWhicheverIsFirst) {
    auto codec = openX264(16, 16, 100);
    ASSERT_TRUE(codec);
    ASSERT_FALSE(codec->setFramesPerSecond(60));
    const auto frame = PixelBuffer::allocate(16, 16);
    std::vector<int> keyframes;
    const auto run = [&](int frames) {
        for (int i = 0; i < frames; ++i) {
            const auto packets = encodeOne(*codec, frame);
            ASSERT_EQ(packets.size(), 1u);
            if (packets[0].keyframe) {
                keyframes.push_back(static_cast<int>(packets[0].pts / 600));
            }
        }
    };
    // pts in 1/600 s: 10 ticks a frame at 60 frames/s, 600 at 1 frame/s.
    run(7201);
    ASSERT_FALSE(codec->setFramesPerSecond(1));
    run(300);
    // Frame 7200 at 120 s, then 240 s after it.
    EXPECT_EQ(keyframes, (std::vector<int>{0, 120, 360}));
}

TEST(H264Codec, RefusesBadSizesAndRatesAndForeignFrames) {
    const struct {
        int width, height;
        std::uint32_t kbps;
    } cases[] = {{321, 240, 500}, {320, 241, 500}, {0, 240, 500}, {320, 240, 0}};
    for (const auto& c : cases) {
        H264CodecConfig config{c.width, c.height, c.kbps, 30, 1, false};
        const auto opened = H264Codec::open(config);
        EXPECT_FALSE(opened.codec);
        ASSERT_TRUE(opened.error);
        EXPECT_LT(opened.error->code, 0);
    }
    auto codec = openX264(320, 240, 500);
    std::vector<H264Codec::Packet> packets;
    EXPECT_TRUE(codec->encode(PixelBuffer::allocate(160, 120), false, packets));
    EXPECT_TRUE(codec->setBitrate(0));
}

TEST(H264Codec, SliceQpEqualsTheReportedQp) {
    const struct {
        std::uint32_t kbps;
        int noise;  // 0: desktop content
    } cases[] = {{150, 0}, {600, 0}, {2500, 0}, {100, 156}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.kbps) + " kbit/s, noise " + std::to_string(c.noise));
        auto codec = openX264(320, 240, c.kbps, 2);
        ASSERT_TRUE(codec);
        H264StreamReader reader;
        for (int i = 0; i < 50; ++i) {
            const auto frame =
                c.noise > 0 ? noiseFrame(320, 240, i, c.noise) : desktopFrame(320, 240, i, 0);
            const auto packets = encodeOne(*codec, frame);
            ASSERT_EQ(packets.size(), 1u);
            ASSERT_GE(packets[0].qp, 0);
            EXPECT_EQ(reader.read(*packets[0].data).qp, packets[0].qp) << "frame " << i;
        }
    }
}

// A rate change while running is the rate the stream settles at, upwards as well as downwards:
// noise that takes whatever it is given shows the rate control's target.
TEST(H264Codec, ChangedRateIsTheRateTheStreamSettlesAt) {
    struct Case {
        std::uint32_t openedKbps;
        std::uint32_t changedKbps;
    };
    for (const Case& change : {Case{4000, 1000}, Case{1000, 4000}}) {
        SCOPED_TRACE(std::to_string(change.openedKbps) + " -> " +
                     std::to_string(change.changedKbps));
        auto codec = openX264(640, 360, change.openedKbps, 2);
        ASSERT_TRUE(codec);
        int index = 0;
        auto kbpsOver = [&](int count) {
            std::size_t total = 0;
            for (int i = 0; i < count; ++i, ++index) {
                for (const auto& packet : encodeOne(*codec, noiseFrame(640, 360, index))) {
                    total += packet.data->size();
                }
            }
            return static_cast<double>(total) * 8 * 30 / count / 1000;
        };
        kbpsOver(30);  // the keyframe and the rate control settling
        EXPECT_NEAR(kbpsOver(30), change.openedKbps, change.openedKbps * 0.3);
        ASSERT_FALSE(codec->setBitrate(change.changedKbps));
        kbpsOver(30);
        EXPECT_NEAR(kbpsOver(30), change.changedKbps, change.changedKbps * 0.3);
    }
}

// The keyframe asked for once the rate has settled is at most a quarter second of the rate, what
// the pacer sends without a burst, yet the frames after it read. 720p at 500 kbit/s runs at the
// highest QP, where no keyframe fits and one held to the budget would starve the frames after it.
TEST(H264Codec, DecodingBackReadsTheCountersOfExactlyTheFramesEncoded) {
    const struct {
        int width;
        int height;
        std::uint32_t kbps;
        H264Profile profile;
        bool fits;
    } cases[] = {{320, 240, 500, H264Profile::constrainedBaseline, true},
                 {1280, 720, 1000, H264Profile::constrainedBaseline, true},
                 {1280, 720, 1000, H264Profile::constrainedHigh, true},
                 {1280, 720, 3000, H264Profile::constrainedHigh, true},
                 {1280, 720, 500, H264Profile::constrainedBaseline, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.height) + "p at " + std::to_string(c.kbps) + " kbit/s");
        auto codec = openX264(c.width, c.height, c.kbps, 1, c.profile);
        ASSERT_TRUE(codec);
        PlainH264Decoder decoder;
        ASSERT_EQ(decoder.startDecode(1), videoCodecOk);
        std::vector<std::uint32_t> read;
        decoder.setCallback([&](const VideoFrame& frame) {
            const auto counter = readFrameBarcode(*frame.buffer);
            read.push_back(counter.value_or(0xdeadbeef));
        });
        std::vector<std::uint32_t> sent;
        constexpr int keyframeAt = 45;
        for (int i = 0; i < keyframeAt + 12; ++i) {
            const std::uint32_t counter = 0x10000u * static_cast<std::uint32_t>(i) + 77u;
            sent.push_back(counter);
            for (auto& packet :
                 encodeOne(*codec, desktopFrame(c.width, c.height, i, counter), i == keyframeAt)) {
                if (i == keyframeAt && c.fits) {
                    EXPECT_LE(packet.data->size(), c.kbps * 1000 / 4 / 8);
                }
                EncodedImage image;
                image.buffer = packet.data;
                ASSERT_EQ(decoder.decode(image), videoCodecOk);
            }
        }
        EXPECT_EQ(read, sent);
    }
}

TEST(H264Codec, VaapiRunsWhereTheMachineHasIt) {
    H264CodecConfig config{320, 240, 800, 30, 1, true};
    auto opened = H264Codec::open(config);
    ASSERT_TRUE(opened.codec);
    if (opened.codec->backend() != H264Backend::vaapi) {
        GTEST_SKIP() << "VAAPI is not available here: " << opened.codec->backendReason();
    }
    const auto packets = encodeOne(*opened.codec, desktopFrame(320, 240, 0, 5));
    ASSERT_FALSE(packets.empty());
    EXPECT_TRUE(parameterSetsBeforeIdr(nalTypes(*packets[0].data)));
}

TEST(PlainH264Encoder, CropsAndScalesFramesThatAskForIt) {
    PlainH264Encoder encoder;
    ASSERT_EQ(encoder.startEncode({320, 240, 600, 30, 1}), videoCodecOk);
    PlainH264Decoder decoder;
    ASSERT_EQ(decoder.startDecode(1), videoCodecOk);
    std::vector<EncodedImage> images;
    encoder.setCallback([&](const EncodedImage& image, const H264CodecSpecificInfo& info) {
        images.push_back(image);
        EXPECT_EQ(info.packetizationMode, 0);
        return true;
    });
    std::vector<std::uint32_t> read;
    decoder.setCallback([&](const VideoFrame& frame) {
        EXPECT_EQ(frame.buffer->width(), 320);
        read.push_back(readFrameBarcode(*frame.buffer).value_or(0));
    });
    for (std::uint32_t i = 0; i < 6; ++i) {
        // A 16:9 capture whose centred 4:3 part is wanted at 320×240.
        VideoFrame frame = VideoFrame::whole(desktopFrame(640, 360, static_cast<int>(i), i + 1),
                                             1'000'000'000 + i * 33'000'000, 9000 * i);
        frame.crop = PixelRect{80, 0, 480, 360};
        frame.adaptedWidth = 320;
        frame.adaptedHeight = 240;
        const std::vector<VideoFrameType> types{i == 3 ? VideoFrameType::key
                                                       : VideoFrameType::delta};
        ASSERT_EQ(encoder.encode(frame, nullptr, types), videoCodecOk);
    }
    ASSERT_EQ(images.size(), 6u);
    for (std::size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].encodedWidth, 320);
        EXPECT_EQ(images[i].rtpTimestamp, 9000 * i);
        EXPECT_EQ(images[i].captureTimeMs, 1000 + 33 * static_cast<std::int64_t>(i));
        EXPECT_EQ(images[i].frameType,
                  i == 0 || i == 3 ? VideoFrameType::key : VideoFrameType::delta);
        EXPECT_EQ(images[i].contentType, VideoContentType::screen);
        EXPECT_LE(images[i].encodeStartMs, images[i].encodeFinishMs);
        EXPECT_EQ(decoder.decode(images[i]), videoCodecOk);
    }
    EXPECT_EQ(read, (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(encoder.setBitrate(300, 30), videoCodecOk);
    EXPECT_EQ(encoder.releaseEncoder(), videoCodecOk);
    EXPECT_EQ(encoder.encode(VideoFrame::whole(PixelBuffer::allocate(320, 240), 0, 0), nullptr, {}),
              videoCodecError);
    EXPECT_EQ(encoder.setBitrate(300, 30), videoCodecError);
}

TEST(PlainH264Encoder, OddStartSizeFailsWithTheReason) {
    PlainH264Encoder encoder;
    EXPECT_EQ(encoder.startEncode({321, 240, 600, 30, 1}), videoCodecError);
    ASSERT_TRUE(encoder.lastError());
    EXPECT_NE(encoder.lastError()->message.find("321"), std::string::npos);
}

}  // namespace
}  // namespace quillory
