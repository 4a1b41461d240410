#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "media/studio_bitrate_model.h"
#include "media/studio_operating_point_policy.h"
#include "media/studio_source_size.h"

namespace quillory {
namespace {

constexpr auto noLimit = std::numeric_limits<std::int64_t>::max();

std::string text(const StudioSourceSize& s) {
    return std::to_string(s.width) + "x" + std::to_string(s.height) + "/" +
           std::to_string(s.requestWidth) + "x" + std::to_string(s.requestHeight);
}

std::string text(const StudioOperatingPoint& p) {
    return std::to_string(p.size.width) + "x" + std::to_string(p.size.height) + "@" +
           std::to_string(p.framesPerSecond);
}

template <typename T>
std::string text(const std::vector<T>& list) {
    std::string out;
    for (const T& item : list) {
        out += (out.empty() ? "" : " ") + text(item);
    }
    return out;
}

TEST(StudioSourceSizeTest, LaddersPairEachFrameSizeWithItsRequest) {
    EXPECT_EQ(text(StudioSourceSize::ladder(1920, 1080, noLimit)),
              "180x96/214x120 240x134/240x136 320x180/320x180 360x198/428x240 480x270/480x270 "
              "640x360/640x360 720x402/720x406 960x540/960x540 1280x720/1440x810 "
              "1920x1080/1920x1080");
    EXPECT_EQ(text(StudioSourceSize::ladder(1024, 768, noLimit)),
              "256x192/256x192 384x288/384x288 512x384/512x384 768x576/768x576 "
              "1024x768/1024x768");
}

TEST(StudioSourceSizeTest, FitScalesByTwoThirdsAndThreeQuarterStepsAndAligns) {
    EXPECT_EQ(text(StudioSourceSize::fitted(1920, 1080, 1440, 810)), "1280x720/1440x810");
    EXPECT_EQ(text(StudioSourceSize::fitted(1920, 1080, 1920, 1080)), "1920x1080/1920x1080");
    EXPECT_EQ(alignedEdge(1081, 1200, 3), 1086);
    EXPECT_EQ(alignedEdge(1081, 1084, 3), 1080);
}

TEST(StudioSourceSizeTest, ViewportEdgesAreClampedAndEven) {
    EXPECT_EQ(text(StudioSourceSize::ladder(0, 1, noLimit)), "2x2/2x2");
    EXPECT_EQ(text(StudioSourceSize::ladder(9000, 9000, noLimit).back()), "8192x8192/8192x8192");
    EXPECT_EQ(text(StudioSourceSize::ladder(1025, 769, noLimit).back()), "1024x768/1024x768");
}

TEST(StudioCandidatesTest, OrderFollowsThePreset) {
    const auto candidates = [](int width, int height, StudioPreset preset) {
        return text(StudioOperatingPointPolicy::makeCandidates(width, height, preset));
    };
    EXPECT_EQ(candidates(2388, 1668, StudioPreset::balanced),
              "1592x1112@15 1592x1112@30 1788x1248@30 1592x1112@60 2388x1668@30 1788x1248@60 "
              "2388x1668@60");
    EXPECT_EQ(candidates(2388, 1668, StudioPreset::quality),
              "1592x1112@15 1592x1112@30 1592x1112@60 1788x1248@30 1788x1248@60 2388x1668@30 "
              "2388x1668@60");
    // Below 1280 only the full size is kept.
    EXPECT_EQ(candidates(1024, 768, StudioPreset::balanced), "1024x768@15 1024x768@30 1024x768@60");
}

TEST(StudioCandidatesTest, InitialPickIsTheLastFundedCandidate) {
    struct Case {
        StudioPreset preset;
        std::int64_t bitrate;
        std::string expected;
    };
    const Case cases[] = {
        {StudioPreset::quality, 2'000'000, "1788x1248/1792x1252@30"},
        {StudioPreset::balanced, 2'000'000, "1788x1248/1792x1252@30"},
        {StudioPreset::responsive, 2'000'000, "1788x1248/1792x1252@30"},
        {StudioPreset::quality, 2'500'000, "1788x1248/1792x1252@30"},
        {StudioPreset::balanced, 2'500'000, "1592x1112/1592x1112@60"},
        {StudioPreset::responsive, 2'500'000, "1592x1112/1592x1112@60"},
        {StudioPreset::balanced, 0, "1592x1112/1592x1112@15"},
    };
    for (const Case& c : cases) {
        const StudioOperatingPoint pick = StudioOperatingPointPolicy::selectInitial(
            StudioOperatingPointPolicy::makeCandidates(2388, 1668, c.preset), c.bitrate);
        EXPECT_EQ(text(pick.size) + "@" + std::to_string(pick.framesPerSecond), c.expected)
            << rawValue(c.preset) << " at " << c.bitrate;
    }
}

TEST(StudioBitrateModelTest, PiecewiseLinearThenProportionalScaledByRate) {
    const std::tuple<int, int, double> cases[] = {{320, 180, 0.0},
                                                  {100, 100, 0.0},
                                                  {57'601, 1, 2.7777778},
                                                  {480, 270, 200'000.0},
                                                  {640, 360, 300'000.0},
                                                  {960, 540, 500'000.0},
                                                  {1280, 720, 900'000.0},
                                                  {1920, 1080, 2'000'000.0},
                                                  {2560, 1440, 3'555'555.5555556},
                                                  {1120, 630, 685'714.2857143}};
    for (const auto& [width, height, bitsPerSecond] : cases) {
        EXPECT_NEAR(bitrateForPixels(width, height), bitsPerSecond, 1e-6) << width << "x" << height;
    }
    const StudioOperatingPoint hd30{{1280, 720, 1280, 720}, 30};
    EXPECT_DOUBLE_EQ(bitrateNeed(hd30), 585'000.0);
    EXPECT_DOUBLE_EQ(bitrateNeed({{1280, 720, 1280, 720}, 15}) * 2.0, bitrateNeed(hd30));
    EXPECT_DOUBLE_EQ(rateFactor(24), 1.0);
}

}  // namespace
}  // namespace quillory
