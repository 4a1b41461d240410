#include "platform/video/pixel_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace quillory {
namespace {

struct Colour {
    const char* name;
    std::uint8_t red, green, blue;
    int y, u, v;  // BT.601 video range
};

std::vector<std::uint8_t> solidBgrx(int width, int height, const Colour& colour,
                                    BgrxByteOrder order) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height * 4));
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        if (order == BgrxByteOrder::leastSignificantFirst) {
            pixels[i] = colour.blue, pixels[i + 1] = colour.green, pixels[i + 2] = colour.red;
            pixels[i + 3] = 0;
        } else {
            pixels[i] = 0, pixels[i + 1] = colour.red, pixels[i + 2] = colour.green;
            pixels[i + 3] = colour.blue;
        }
    }
    return pixels;
}

TEST(PixelConversion, SolidColoursGiveVideoRangeBt601) {
    const Colour colours[] = {
        {"white", 255, 255, 255, 235, 128, 128},
        {"black", 0, 0, 0, 16, 128, 128},
        {"mid grey", 128, 128, 128, 126, 128, 128},
        {"red", 255, 0, 0, 82, 90, 240},
    };
    for (const auto order :
         {BgrxByteOrder::leastSignificantFirst, BgrxByteOrder::mostSignificantFirst}) {
        for (const Colour& colour : colours) {
            // Same size and a scaled target: both paths must keep the colour.
            for (const int targetWidth : {16, 8}) {
                SCOPED_TRACE(std::string(colour.name) + " to width " + std::to_string(targetWidth));
                auto pixels = solidBgrx(16, 16, colour, order);
                auto target = PixelBuffer::allocate(targetWidth, targetWidth);
                ASSERT_FALSE(convertBgrxToNv12({pixels.data(), 16, 16, 64, order}, *target));
                EXPECT_NEAR(target->dataY()[target->strideY() * 3 + 5], colour.y, 1);
                EXPECT_NEAR(target->dataUV()[target->strideUV() * 2 + 4], colour.u, 1);
                EXPECT_NEAR(target->dataUV()[target->strideUV() * 2 + 5], colour.v, 1);
            }
        }
    }
}

// A grey 1920×1080 card with 32×32 marks of distinct luma at its corners, at the corners of its
// centred 4:3 part and at its centre.
struct Mark {
    PixelRect rect;
    std::uint8_t luma;
};
const Mark cornerMarks[] = {
    {{0, 0, 32, 32}, 235},       {{1888, 0, 32, 32}, 16}, {{0, 1048, 32, 32}, 60},
    {{1888, 1048, 32, 32}, 200}, {{240, 0, 32, 32}, 40},  {{1648, 1048, 32, 32}, 220},
    {{944, 524, 32, 32}, 180},
};

std::shared_ptr<PixelBuffer> testCard() {
    auto card = PixelBuffer::allocate(1920, 1080);
    for (int y = 0; y < 1080; ++y) {
        std::memset(card->dataY() + y * card->strideY(), 126, 1920);
    }
    std::memset(card->dataUV(), 128, static_cast<std::size_t>(card->strideUV() * 540));
    for (const Mark& mark : cornerMarks) {
        for (int y = mark.rect.y; y < mark.rect.y + mark.rect.height; ++y) {
            std::memset(card->dataY() + y * card->strideY() + mark.rect.x, mark.luma, 32);
        }
    }
    return card;
}

TEST(PixelConversion, CropAndScalePutsMarksWhereExpected) {
    const struct {
        const char* name;
        PixelRect crop;
        int width, height;
    } cases[] = {
        {"the 1440×810 request fitted to 1280×720", {0, 0, 1920, 1080}, 1280, 720},
        {"a centred 4:3 crop at 640×480", {240, 0, 1440, 1080}, 640, 480},
        {"a centred 4:3 crop at full size", {240, 0, 1440, 1080}, 1440, 1080},
    };
    auto card = testCard();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto target = PixelBuffer::allocate(c.width, c.height);
        ASSERT_FALSE(cropAndScaleNv12(*card, c.crop, *target));
        const double scaleX = static_cast<double>(c.width) / c.crop.width;
        const double scaleY = static_cast<double>(c.height) / c.crop.height;
        for (const Mark& mark : cornerMarks) {
            const double centreX = mark.rect.x + 16 - c.crop.x;
            const double centreY = mark.rect.y + 16 - c.crop.y;
            if (centreX < 0 || centreX >= c.crop.width) {
                continue;  // cut away by the crop
            }
            const int x = static_cast<int>(centreX * scaleX);
            const int y = static_cast<int>(centreY * scaleY);
            EXPECT_NEAR(target->dataY()[y * target->strideY() + x], mark.luma, 3)
                << "mark of luma " << int(mark.luma) << " probed at " << x << "," << y;
        }
    }
}

// At two thirds of the crop each target sample is the rounded mean of the nine samples under it
// in the source seen at twice its size. The crops are narrower than a vector step, end in part of
// one, and take the whole source, whose rows are as long as its stride: a read past the last
// sample falls outside the buffer.
TEST(PixelConversion, TwoThirdsOfTheCropAverageTheAreaUnderEachPixel) {
    auto source = PixelBuffer::allocate(192, 66);
    ASSERT_EQ(source->strideY(), 192);
    std::uint32_t state = 1;
    for (int y = 0; y < 66 + 33; ++y) {
        std::uint8_t* row = y < 66 ? source->dataY() + y * 192 : source->dataUV() + (y - 66) * 192;
        for (int x = 0; x < 192; ++x) {
            state = state * 1664525 + 1013904223;
            // Saturated rows at the top check the rounding of the largest sums.
            row[x] = y < 6 ? 255 : static_cast<std::uint8_t>(state >> 24);
        }
    }
    const auto expected = [](const std::uint8_t* plane, int channels, int x, int y) {
        int sum = 0;
        for (int down = 0; down < 3; ++down) {
            for (int across = 0; across < 3; ++across) {
                sum += plane[(3 * y + down) / 2 * 192 + (3 * x + across) / 2 * channels];
            }
        }
        return (sum + 4) / 9;
    };
    for (const PixelRect crop :
         {PixelRect{2, 4, 12, 6}, PixelRect{6, 2, 66, 18}, PixelRect{0, 0, 192, 66}}) {
        SCOPED_TRACE(std::to_string(crop.width) + "×" + std::to_string(crop.height));
        auto target = PixelBuffer::allocate(crop.width / 3 * 2, crop.height / 3 * 2);
        ASSERT_FALSE(cropAndScaleNv12(*source, crop, *target));
        const std::uint8_t* y = source->dataY() + crop.y * 192 + crop.x;
        const std::uint8_t* uv = source->dataUV() + crop.y / 2 * 192 + crop.x;
        for (int row = 0; row < target->height(); ++row) {
            for (int x = 0; x < target->width(); ++x) {
                ASSERT_EQ(target->dataY()[row * target->strideY() + x], expected(y, 1, x, row))
                    << "luma " << x << "," << row;
                const int chroma = x / 2, channel = x % 2;
                ASSERT_EQ(target->dataUV()[row / 2 * target->strideUV() + x],
                          expected(uv + channel, 2, chroma, row / 2))
                    << "chroma " << x << "," << row / 2;
            }
        }
    }
}

// A capture converts only what changed and keeps the rest of the last picture: the result must
// equal a whole conversion of the new picture, at the edges of the part too.
TEST(PixelConversion, APartConvertedInPlaceMatchesTheWholePicture) {
    constexpr int width = 64, height = 48;
    std::vector<std::uint8_t> before(std::size_t{width} * height * 4), after(before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        before[i] = static_cast<std::uint8_t>(i * 7 % 251);
        after[i] = static_cast<std::uint8_t>(i * 13 % 241);
    }
    const PixelRect part{10, 6, 20, 14};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool in =
                x >= part.x && x < part.x + part.width && y >= part.y && y < part.y + part.height;
            const auto at = static_cast<std::size_t>((y * width + x) * 4);
            if (!in) {
                std::memcpy(&after[at], &before[at], 4);
            }
        }
    }
    auto previous = PixelBuffer::allocate(width, height);
    auto whole = PixelBuffer::allocate(width, height);
    auto target = PixelBuffer::allocate(width, height);
    ASSERT_FALSE(convertBgrxToNv12({before.data(), width, height, width * 4}, *previous));
    ASSERT_FALSE(convertBgrxToNv12({after.data(), width, height, width * 4}, *whole));
    copyNv12Outside(*previous, part, *target);
    const auto offset = static_cast<std::size_t>((part.y * width + part.x) * 4);
    ASSERT_FALSE(convertBgrxToNv12At({after.data() + offset, part.width, part.height, width * 4},
                                     *target, part.x, part.y));
    EXPECT_EQ(0, std::memcmp(whole->dataY(), target->dataY(), width * height));
    EXPECT_EQ(0, std::memcmp(whole->dataUV(), target->dataUV(), width * height / 2));
    EXPECT_TRUE(convertBgrxToNv12At({after.data(), 20, 14, width * 4}, *target, 11, 6));
    EXPECT_TRUE(convertBgrxToNv12At({after.data(), 20, 14, width * 4}, *target, 50, 6));
}

TEST(PixelConversion, BadSizesAndRectanglesGiveErrors) {
    auto source = PixelBuffer::allocate(64, 32);
    auto target = PixelBuffer::allocate(32, 16);
    const PixelRect rects[] = {{0, 0, 0, 16},   {0, 0, 64, 0},  {1, 0, 32, 16}, {0, 0, 33, 16},
                               {40, 0, 32, 16}, {0, 30, 32, 4}, {-2, 0, 32, 16}};
    for (const PixelRect& rect : rects) {
        EXPECT_TRUE(cropAndScaleNv12(*source, rect, *target))
            << rect.x << "," << rect.y << " " << rect.width << "×" << rect.height;
    }
    std::vector<std::uint8_t> pixels(64 * 32 * 4);
    const BgrxImage images[] = {{nullptr, 64, 32, 256},
                                {pixels.data(), 0, 32, 256},
                                {pixels.data(), 1, 1, 256},
                                {pixels.data(), 64, 32, 200}};
    for (const BgrxImage& image : images) {
        EXPECT_TRUE(convertBgrxToNv12(image, *target));
    }
}

TEST(PixelConversion, Nv12ToI420SplitsTheChroma) {
    auto buffer = PixelBuffer::allocate(4, 2);
    std::memset(buffer->dataY(), 50, 4);
    std::memset(buffer->dataY() + buffer->strideY(), 60, 4);
    const std::uint8_t uv[] = {100, 200, 110, 210};
    std::memcpy(buffer->dataUV(), uv, 4);
    const I420Image image = convertNv12ToI420(*buffer);
    EXPECT_EQ(image.y, (std::vector<std::uint8_t>{50, 50, 50, 50, 60, 60, 60, 60}));
    EXPECT_EQ(image.u, (std::vector<std::uint8_t>{100, 110}));
    EXPECT_EQ(image.v, (std::vector<std::uint8_t>{200, 210}));
}

}  // namespace
}  // namespace quillory
