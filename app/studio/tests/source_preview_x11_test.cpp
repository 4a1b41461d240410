// The source preview against a real X server (Xvfb 1920×1080): the pictures the server scales
// against the content it shows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "app/studio/source_preview.h"
#include "platform/desktop/x11_desktop.h"
#include "protocol/image_rules.h"
#include "tests/support/content_window.h"
#include "tests/support/jpeg_shot.h"
#include "tests/support/synthetic_desktop.h"

namespace quillory {
namespace {

using testing::ContentWindow;

struct Colour {
    int b, g, r;
};
constexpr Colour red{40, 40, 220};
constexpr Colour green{60, 200, 30};
constexpr Colour blue{210, 90, 20};
constexpr Colour grey{128, 128, 128};  // what a fine black and white pattern averages to

void put(std::uint8_t* pixel, const Colour& colour) {
    pixel[0] = static_cast<std::uint8_t>(colour.b);
    pixel[1] = static_cast<std::uint8_t>(colour.g);
    pixel[2] = static_cast<std::uint8_t>(colour.r);
}

// Left: red over green; right: single-pixel black and white checks over blue. Checks are what
// aliases worst when an output pixel reads fewer source pixels than it covers.
void paintQuadrants(std::uint8_t* bgrx, int width, int height, int stride) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            auto* pixel = bgrx + static_cast<std::ptrdiff_t>(y) * stride + x * 4;
            const bool top = y < height / 2;
            if (x < width / 2) {
                put(pixel, top ? red : green);
            } else if (top) {
                const int level = (x + y) % 2 ? 255 : 0;
                put(pixel, {level, level, level});
            } else {
                put(pixel, blue);
            }
        }
    }
}

// Every pixel of the preview in a 24×24 square around (x, y) is within `tolerance` of `colour`.
void expectSquare(const BgrxPicture& picture, int x, int y, const Colour& colour, int tolerance) {
    int worst = 0;
    for (int row = y - 12; row < y + 12; ++row) {
        for (int column = x - 12; column < x + 12; ++column) {
            const auto* pixel =
                &picture.pixels[static_cast<std::size_t>((row * picture.width + column) * 4)];
            worst = std::max({worst, std::abs(pixel[0] - colour.b), std::abs(pixel[1] - colour.g),
                              std::abs(pixel[2] - colour.r)});
        }
    }
    EXPECT_LE(worst, tolerance) << "around " << x << "," << y;
}

// The mean and the standard deviation of the green channel over the text of the synthetic desktop,
// which covers the left two thirds of the preview.
std::pair<double, double> textTone(const BgrxPicture& picture) {
    double sum = 0;
    double squares = 0;
    int count = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 8; x < picture.width * 2 / 3 - 8; ++x) {
            const double level =
                picture.pixels[static_cast<std::size_t>((y * picture.width + x) * 4 + 1)];
            sum += level;
            squares += level * level;
            ++count;
        }
    }
    const double mean = sum / count;
    return {mean, std::sqrt(squares / count - mean * mean)};
}

class SourcePreviewX11Test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!std::getenv("DISPLAY")) {
            GTEST_SKIP() << "needs an X server";
        }
    }
    void SetUp() override {
        auto connected = X11Desktop::connect(nullptr);
        ASSERT_TRUE(connected) << connected.error();
        desktop = std::move(connected).value();
    }

    std::optional<BgrxPicture> preview(const StudioCaptureSource& source) {
        const Rect frame = source.frame();
        const auto size = previewSize(frame.width, frame.height);
        return size ? capture.grab(source.captureTarget(), *size) : std::nullopt;
    }

    std::shared_ptr<X11Desktop> desktop;
    const PreviewCapture capture = PreviewCapture::system();
};

TEST_F(SourcePreviewX11Test, TheServerScalesTheDisplayAveragingWhatEachPixelCovers) {
    const auto main = desktop->mainDisplay();
    ASSERT_TRUE(main);
    ASSERT_EQ(main->bounds.width, 1920);
    ContentWindow content(0, 0, 1920, 1080, paintQuadrants);
    const auto picture = preview(StudioCaptureSource::display(*main));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 360);
    EXPECT_EQ(picture->height, 203);
    expectSquare(*picture, 90, 50, red, 3);
    expectSquare(*picture, 90, 152, green, 3);
    expectSquare(*picture, 270, 152, blue, 3);
    // Checks average to grey: a scale that read only some of the pixels under each output pixel
    // would leave black and white.
    expectSquare(*picture, 270, 50, grey, 12);
}

TEST_F(SourcePreviewX11Test, TheServerScalesAWindowDownOrUpToItsPreviewSize) {
    const struct {
        int x, y, width, height;
        PreviewSize expected;
    } cases[] = {
        {200, 150, 1000, 600, {360, 216}}, {700, 500, 100, 50, {360, 180}},  // enlarged
    };
    for (const auto& c : cases) {
        ContentWindow content(c.x, c.y, c.width, c.height, paintQuadrants);
        const auto picture = preview(StudioCaptureSource::window(
            {.info = {.id = content.window(),
                      .frame = {static_cast<double>(c.x), static_cast<double>(c.y),
                                static_cast<double>(c.width), static_cast<double>(c.height)}}}));
        ASSERT_TRUE(picture) << c.width;
        EXPECT_EQ((PreviewSize{picture->width, picture->height}), c.expected);
        const int w = picture->width;
        const int h = picture->height;
        expectSquare(*picture, w / 4, h / 4, red, 3);
        expectSquare(*picture, w / 4, h * 3 / 4, green, 3);
        expectSquare(*picture, w * 3 / 4, h * 3 / 4, blue, 3);
    }
    // A window that is gone gives nothing.
    xcb_window_t closed = 0;
    {
        ContentWindow content(10, 10, 200, 200, paintQuadrants);
        closed = content.window();
    }
    EXPECT_FALSE(preview(
        StudioCaptureSource::window({.info = {.id = closed, .frame = {10, 10, 200, 200}}})));
}

// Leaves the display's thumbnail of a light and of a dark desktop, as the tablet decodes it, in the
// shots folder as preview-display-light.png and preview-display-dark.png.
TEST_F(SourcePreviewX11Test, LightAndDarkDesktopsGiveThumbnailsOfTheirOwnLightness) {
    const auto main = desktop->mainDisplay();
    ASSERT_TRUE(main);
    const auto folder = testing::shotsFolder();
    for (const bool dark : {false, true}) {
        ContentWindow content(0, 0, 1920, 1080,
                              [dark](std::uint8_t* bgrx, int width, int height, int stride) {
                                  testing::paintSyntheticDesktop(bgrx, width, height, stride, 0);
                                  for (int i = 0; dark && i < stride * height; ++i) {
                                      bgrx[i] = static_cast<std::uint8_t>(255 - bgrx[i]);
                                  }
                              });
        const auto source = StudioCaptureSource::display(*main);
        const auto picture = preview(source);
        ASSERT_TRUE(picture);
        // Text averages into the page's tone rather than into noise of ink and paper: a bilinear
        // scale, which reads 4 of the 28 pixels each output pixel covers, spreads it by about 80
        // levels, and then no JPEG quality fits the budget.
        const auto [mean, spread] = textTone(*picture);
        EXPECT_TRUE(dark ? mean < 80 : mean > 175) << mean;
        EXPECT_LT(spread, 60);
        const auto jpeg = capturePreviewJPEG(source, capture);
        ASSERT_TRUE(jpeg);
        EXPECT_TRUE(isValidThumbnailJPEG(*jpeg));
        EXPECT_LE(jpeg->size(), 20000u);
        EXPECT_TRUE(testing::writeJPEGAsPNG(
            *jpeg, folder / (dark ? "preview-display-dark.png" : "preview-display-light.png")));
    }
}

}  // namespace
}  // namespace quillory
