#include "media/studio_bitrate_model.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

StudioOperatingPoint point(int width, int height, int fps) {
    return {{width, height, width, height}, fps};
}

TEST(StudioBitrateModelTest, PiecewiseLinearThenProportional) {
    struct Case {
        int width, height;
        double bitsPerSecond;
    };
    const Case cases[] = {
        {320, 180, 0.0},
        {100, 100, 0.0},
        {57'601, 1, 200'000.0 / 72'000.0},
        {480, 270, 200'000.0},
        {640, 360, 300'000.0},
        {960, 540, 500'000.0},
        {1280, 720, 900'000.0},
        {1920, 1080, 2'000'000.0},
        {2560, 1440, 3'686'400.0 * 2'000'000.0 / 2'073'600.0},
        {1120, 630, 187'200.0 / 403'200.0 * 400'000.0 + 500'000.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(bitrateForPixels(c.width, c.height), c.bitsPerSecond, 1e-6)
            << c.width << "x" << c.height;
    }
    EXPECT_NEAR(bitrateForPixels(2560, 1440), 3'555'555.555555, 1e-5);
}

TEST(StudioBitrateModelTest, RateFactorAndMargins) {
    const StudioOperatingPoint hd30 = point(1280, 720, 30);
    EXPECT_DOUBLE_EQ(bitrateNeed(hd30), 585'000.0);
    EXPECT_DOUBLE_EQ(fundingBitrate(hd30), 702'000.0);
    EXPECT_DOUBLE_EQ(retentionBitrate(hd30), 468'000.0);
    EXPECT_DOUBLE_EQ(fundingBitrate(point(1920, 1080, 60)), 2'400'000.0);
    EXPECT_DOUBLE_EQ(bitrateNeed(point(1280, 720, 15)) * 2.0, bitrateNeed(hd30));
    EXPECT_DOUBLE_EQ(rateFactor(24), 1.0);
}

}  // namespace
}  // namespace quillory
