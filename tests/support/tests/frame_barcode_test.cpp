#include "tests/support/frame_barcode.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/video/h264_codec.h"
#include "platform/video/h264_plain_decoder.h"
#include "platform/video/pixel_conversion.h"
#include "tests/support/synthetic_desktop.h"

namespace quillory::testing {
namespace {

std::shared_ptr<PixelBuffer> card(std::uint32_t counter, int scroll = 0) {
    std::vector<std::uint8_t> bgrx(1920 * 1080 * 4);
    paintSyntheticDesktop(bgrx.data(), 1920, 1080, 1920 * 4, scroll);
    paintFrameBarcode(counter, bgrx.data(), 1920, 1080, 1920 * 4);
    auto buffer = PixelBuffer::allocate(1920, 1080);
    EXPECT_FALSE(convertBgrxToNv12({bgrx.data(), 1920, 1080, 1920 * 4}, *buffer));
    return buffer;
}

// The largest centred box of the target's aspect, as a source fits a request.
PixelRect centredFit(int width, int height) {
    const int fittedHeight = std::min(1080, 1920 * height / width) / 2 * 2;
    const int fittedWidth = std::min(1920, 1080 * width / height) / 2 * 2;
    return {(1920 - fittedWidth) / 2 / 2 * 2, (1080 - fittedHeight) / 2 / 2 * 2, fittedWidth,
            fittedHeight};
}

std::shared_ptr<PixelBuffer> cropScaled(const PixelBuffer& source, PixelRect crop, int width,
                                        int height) {
    auto target = PixelBuffer::allocate(width, height);
    EXPECT_FALSE(cropAndScaleNv12(source, crop, *target));
    return target;
}

TEST(FrameBarcode, ReadsAtEveryLadderSizeAndAfterACentredCropTo4By3) {
    const std::uint32_t counter = 0xa5c3'0f17;
    const auto source = card(counter);
    const struct {
        int width, height;
    } ladder[] = {{320, 180}, {360, 198}, {480, 270},  {640, 360},
                  {720, 402}, {960, 540}, {1280, 720}, {1920, 1080}};
    for (const auto& size : ladder) {
        const auto scaled =
            cropScaled(*source, centredFit(size.width, size.height), size.width, size.height);
        EXPECT_EQ(readFrameBarcode(*scaled), counter) << size.width << "×" << size.height;
    }
    for (const auto& size : {std::pair{1440, 1080}, std::pair{640, 480}, std::pair{320, 240}}) {
        const auto cropped = cropScaled(*source, {240, 0, 1440, 1080}, size.first, size.second);
        EXPECT_EQ(readFrameBarcode(*cropped), counter) << "4:3 at " << size.first;
    }
}

TEST(FrameBarcode, ReadsAfterH264At500Kbits) {
    for (const auto& size : {std::pair{1280, 720}, std::pair{320, 180}}) {
        SCOPED_TRACE(std::to_string(size.first) + " wide");
        H264CodecConfig config{size.first, size.second, 500, 30, 2, false};
        auto codec = std::move(H264Codec::open(config).codec);
        ASSERT_TRUE(codec);
        PlainH264Decoder decoder;
        ASSERT_EQ(decoder.startDecode(1), videoCodecOk);
        std::vector<std::optional<std::uint32_t>> read;
        decoder.setCallback(
            [&](const VideoFrame& frame) { read.push_back(readFrameBarcode(*frame.buffer)); });
        std::vector<std::optional<std::uint32_t>> sent;
        for (int i = 0; i < 12; ++i) {
            const std::uint32_t counter = 1'000'003u * static_cast<std::uint32_t>(i);
            sent.emplace_back(counter);
            const auto frame =
                cropScaled(*card(counter, i * 12), {0, 0, 1920, 1080}, size.first, size.second);
            std::vector<H264Codec::Packet> packets;
            ASSERT_FALSE(codec->encode(frame, false, packets));
            for (const auto& packet : packets) {
                EncodedImage image;
                image.buffer = packet.data;
                ASSERT_EQ(decoder.decode(image), videoCodecOk);
            }
        }
        EXPECT_EQ(read, sent);
    }
}

TEST(FrameBarcode, AMisreadGivesNothing) {
    auto plain = PixelBuffer::allocate(640, 360);
    for (const int level : {16, 126, 235}) {
        std::memset(plain->dataY(), level, static_cast<std::size_t>(plain->strideY() * 360));
        EXPECT_FALSE(readFrameBarcode(*plain)) << level;
    }
    std::vector<std::uint8_t> desktop(640 * 360 * 4);
    paintSyntheticDesktop(desktop.data(), 640, 360, 640 * 4, 0);
    auto withoutCode = PixelBuffer::allocate(640, 360);
    ASSERT_FALSE(convertBgrxToNv12({desktop.data(), 640, 360, 640 * 4}, *withoutCode));
    EXPECT_FALSE(readFrameBarcode(*withoutCode));
    // One flipped block: the check group refuses it.
    paintFrameBarcode(0x1234'5678, *plain);
    ASSERT_EQ(readFrameBarcode(*plain), 0x1234'5678u);
    const int cell = 360 / 12;
    const int x = 320 - 4 * cell + cell / 2;
    const int y = 180 - 3 * cell + cell / 2;
    std::uint8_t* block = plain->dataY() + y * plain->strideY() + x;
    const std::uint8_t flipped = *block > 128 ? 16 : 235;
    for (int row = -cell / 3; row <= cell / 3; ++row) {
        std::memset(block + row * plain->strideY() - cell / 3, flipped, cell * 2 / 3);
    }
    EXPECT_FALSE(readFrameBarcode(*plain));
    // Too small to hold the grid.
    EXPECT_FALSE(readFrameBarcode(plain->dataY(), 16, 16, plain->strideY()));
}

}  // namespace
}  // namespace quillory::testing
