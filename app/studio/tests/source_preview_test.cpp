#include "app/studio/source_preview.h"

#include <gtest/gtest.h>

#include "platform/image/jpeg_encoder.h"
#include "protocol/image_rules.h"

namespace quillory {
namespace {

// Smooth content, as screens mostly are.
BgrxPicture gradient(int width, int height) {
    BgrxPicture p{width, height,
                  std::vector<std::uint8_t>(static_cast<std::size_t>(width * height) * 4)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            auto* pixel = &p.pixels[static_cast<std::size_t>((y * width + x) * 4)];
            pixel[0] = static_cast<std::uint8_t>(x * 255 / width);
            pixel[1] = static_cast<std::uint8_t>(y * 255 / height);
            pixel[2] = static_cast<std::uint8_t>((x / 40 + y / 40) % 2 ? 200 : 40);
        }
    }
    return p;
}

// Noise, which no quality fits into 20,000 bytes at 360 pixels.
BgrxPicture picture(int width, int height) {
    BgrxPicture p{width, height,
                  std::vector<std::uint8_t>(static_cast<std::size_t>(width * height) * 4)};
    for (std::size_t i = 0; i < p.pixels.size(); ++i) {
        p.pixels[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 9));
    }
    return p;
}

StudioCaptureSource windowOf(double width, double height) {
    return StudioCaptureSource::window({.info = {.id = 4, .frame = {0, 0, width, height}}});
}

std::vector<std::uint8_t> jpegOfSize(std::size_t size) {
    std::vector<std::uint8_t> bytes(size, 0);
    bytes[0] = 0xFF;
    bytes[1] = 0xD8;
    bytes[2] = 0xFF;
    return bytes;
}

TEST(SourcePreviewTest, TheLongSideBecomes360) {
    const struct {
        double width, height;
        std::optional<PreviewSize> expected;
    } cases[] = {
        {1920, 1080, PreviewSize{360, 203}},  // 202.5 rounds up
        {1080, 1920, PreviewSize{203, 360}},
        {100, 50, PreviewSize{360, 180}},  // enlarged
        {4000, 10, PreviewSize{360, 2}},   // never below 2
        {0, 50, std::nullopt},
        {50, -1, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(previewSize(c.width, c.height), c.expected) << c.width << "×" << c.height;
    }
}

TEST(SourcePreviewTest, GrabsOnceAtThePreviewSizeAndEncodesThatPicture) {
    std::vector<CaptureTarget> grabs;
    std::vector<PreviewSize> sizes;
    std::vector<std::pair<int, int>> encoded;
    std::optional<PreviewSize> delivered;  // the grab's answer, when it differs from the request
    const PreviewCapture capture{[&](const CaptureTarget& target, PreviewSize size) {
                                     grabs.push_back(target);
                                     sizes.push_back(size);
                                     const auto given = delivered.value_or(size);
                                     return std::optional(picture(given.width, given.height));
                                 },
                                 [&](const BgrxPicture& p, int quality) {
                                     encoded.emplace_back(p.width * 1000 + p.height, quality);
                                     return std::optional(jpegOfSize(5000));
                                 }};
    EXPECT_TRUE(capturePreviewJPEG(windowOf(1920, 1080), capture));
    ASSERT_EQ(grabs.size(), 1u);
    EXPECT_EQ(grabs[0].id, 4u);
    EXPECT_EQ(sizes, (std::vector<PreviewSize>{{360, 203}}));
    EXPECT_EQ(encoded, (std::vector<std::pair<int, int>>{{360203, 62}}));

    grabs.clear();
    EXPECT_FALSE(capturePreviewJPEG(windowOf(0, 1080), capture));
    EXPECT_TRUE(grabs.empty());

    // A picture of another size than asked for is not sent as a preview.
    encoded.clear();
    delivered = PreviewSize{1920, 1080};
    EXPECT_FALSE(capturePreviewJPEG(windowOf(1920, 1080), capture));
    EXPECT_TRUE(encoded.empty());
}

TEST(SourcePreviewTest, TheQualityLadderTakesTheFirstThatFits) {
    const struct {
        std::vector<std::size_t> sizes;  // per quality 62, 45, 30
        std::optional<std::size_t> expected;
    } cases[] = {
        {{25000, 18000, 9000}, 18000},
        {{20000, 1, 1}, 20000},  // at most 20,000 is accepted
        {{30000, 25000, 20001}, std::nullopt},
        {{40, 40, 40}, std::nullopt},  // too short for the thumbnail rule
    };
    for (const auto& c : cases) {
        std::vector<int> qualities;
        const PreviewCapture capture{
            nullptr, [&](const BgrxPicture&, int quality) {
                qualities.push_back(quality);
                return std::optional(jpegOfSize(c.sizes[qualities.size() - 1]));
            }};
        const auto result = encodePreviewJPEG(picture(8, 8), capture);
        EXPECT_EQ(result ? std::optional(result->size()) : std::nullopt, c.expected);
    }
}

TEST(SourcePreviewTest, RealJPEGPassesTheThumbnailRule) {
    PreviewCapture capture{[](const CaptureTarget&, PreviewSize s) {
                               return std::optional(gradient(s.width, s.height));
                           },
                           PreviewCapture::system().encode};
    const auto jpeg = capturePreviewJPEG(windowOf(1280, 800), capture);
    ASSERT_TRUE(jpeg);
    EXPECT_LE(jpeg->size(), 20000u);
    EXPECT_TRUE(isValidThumbnailJPEG(*jpeg));
    capture.grab = [](const CaptureTarget&, PreviewSize s) {
        return std::optional(picture(s.width, s.height));
    };
    EXPECT_FALSE(capturePreviewJPEG(windowOf(1280, 800), capture));
    EXPECT_FALSE(encodeJPEG(picture(4, 4), 0));
    EXPECT_FALSE(encodeJPEG(BgrxPicture{4, 4, {}}, 50));
}

}  // namespace
}  // namespace quillory
