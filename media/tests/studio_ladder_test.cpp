#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "media/studio_bitrate_model.h"
#include "media/studio_operating_point_policy.h"
#include "media/studio_source_size.h"

namespace quillory {
namespace {

constexpr auto noLimit = std::numeric_limits<std::int64_t>::max();

struct Rung {
    int width, height, requestWidth, requestHeight;
};

std::vector<Rung> rungs(const std::vector<StudioSourceSize>& sizes) {
    std::vector<Rung> out;
    for (const auto& s : sizes) {
        out.push_back({s.width, s.height, s.requestWidth, s.requestHeight});
    }
    return out;
}

bool operator==(const Rung& a, const Rung& b) {
    return a.width == b.width && a.height == b.height && a.requestWidth == b.requestWidth &&
           a.requestHeight == b.requestHeight;
}

void PrintTo(const Rung& r, std::ostream* os) {
    *os << r.width << "x" << r.height << "/" << r.requestWidth << "x" << r.requestHeight;
}

struct Point {
    int width, height, fps;
    bool operator==(const Point&) const = default;
};

void PrintTo(const Point& p, std::ostream* os) {
    *os << p.width << "x" << p.height << "@" << p.fps;
}

std::vector<Point> points(const std::vector<StudioOperatingPoint>& list) {
    std::vector<Point> out;
    for (const auto& p : list) {
        out.push_back({p.size.width, p.size.height, p.framesPerSecond});
    }
    return out;
}

TEST(StudioSourceSizeTest, FullHDLadderPairsEachFrameSizeWithItsRequest) {
    const std::vector<Rung> expected{
        {180, 96, 214, 120},      {240, 134, 240, 136}, {320, 180, 320, 180},
        {360, 198, 428, 240},     {480, 270, 480, 270}, {640, 360, 640, 360},
        {720, 402, 720, 406},     {960, 540, 960, 540}, {1280, 720, 1440, 810},
        {1920, 1080, 1920, 1080},
    };
    EXPECT_EQ(rungs(StudioSourceSize::ladder(1920, 1080, noLimit)), expected);
}

TEST(StudioSourceSizeTest, FitScalesByTwoThirdsStepsAndAligns) {
    const StudioSourceSize fit = StudioSourceSize::fitted(1920, 1080, 1440, 810);
    EXPECT_EQ((Rung{fit.width, fit.height, fit.requestWidth, fit.requestHeight}),
              (Rung{1280, 720, 1440, 810}));
    // A request at least as large as the source comes back unscaled.
    const StudioSourceSize whole = StudioSourceSize::fitted(1920, 1080, 1920, 1080);
    EXPECT_EQ(whole.width, 1920);
    EXPECT_EQ(whole.height, 1080);
}

TEST(StudioSourceSizeTest, AlignedEdgeRoundsUpToEvenMultiplesWithinTheLimit) {
    EXPECT_EQ(alignedEdge(1920, 1920, 3), 1920);
    EXPECT_EQ(alignedEdge(1081, 1200, 3), 1086);
    EXPECT_EQ(alignedEdge(1081, 1084, 3), 1080);
    EXPECT_EQ(alignedEdge(7, 100, 1), 8);
}

TEST(StudioSourceSizeTest, EdgesAreClampedEvenAndWithinLimits) {
    EXPECT_EQ(StudioSourceSize::ladder(0, 1, noLimit).back(),
              StudioSourceSize::ladder(2, 2, noLimit).back());
    const StudioSourceSize big = StudioSourceSize::ladder(9000, 9000, noLimit).back();
    EXPECT_EQ(big.width, 8192);
    EXPECT_EQ(big.height, 8192);
    const StudioSourceSize odd = StudioSourceSize::ladder(1025, 769, noLimit).back();
    EXPECT_EQ(odd.width, 1024);
    EXPECT_EQ(odd.height, 768);
}

TEST(StudioCandidatesTest, TabletViewportOrdersByPreset) {
    const std::vector<Point> balanced{{1592, 1112, 15}, {1592, 1112, 30}, {1788, 1248, 30},
                                      {1592, 1112, 60}, {2388, 1668, 30}, {1788, 1248, 60},
                                      {2388, 1668, 60}};
    const std::vector<Point> quality{{1592, 1112, 15}, {1592, 1112, 30}, {1592, 1112, 60},
                                     {1788, 1248, 30}, {1788, 1248, 60}, {2388, 1668, 30},
                                     {2388, 1668, 60}};
    EXPECT_EQ(
        points(StudioOperatingPointPolicy::makeCandidates(2388, 1668, StudioPreset::balanced)),
        balanced);
    EXPECT_EQ(points(StudioOperatingPointPolicy::makeCandidates(2388, 1668, StudioPreset::quality)),
              quality);
}

TEST(StudioCandidatesTest, SmallViewportKeepsOnlyItsFullSize) {
    std::vector<Point> ladder;
    for (const auto& s : StudioSourceSize::ladder(1024, 768, noLimit)) {
        ladder.push_back({s.width, s.height, 0});
    }
    EXPECT_EQ(ladder,
              (std::vector<Point>{
                  {256, 192, 0}, {384, 288, 0}, {512, 384, 0}, {768, 576, 0}, {1024, 768, 0}}));
    EXPECT_EQ(points(StudioOperatingPointPolicy::makeCandidates(1024, 768, StudioPreset::balanced)),
              (std::vector<Point>{{1024, 768, 15}, {1024, 768, 30}, {1024, 768, 60}}));
}

TEST(StudioCandidatesTest, InitialPickIsTheLastFundedCandidate) {
    struct Case {
        StudioPreset preset;
        std::int64_t bitrate;
        Point expected;
    };
    const Case cases[] = {
        {StudioPreset::quality, 2'000'000, {1788, 1248, 30}},
        {StudioPreset::balanced, 2'000'000, {1788, 1248, 30}},
        {StudioPreset::responsive, 2'000'000, {1788, 1248, 30}},
        {StudioPreset::quality, 2'500'000, {1788, 1248, 30}},
        {StudioPreset::balanced, 2'500'000, {1592, 1112, 60}},
        {StudioPreset::responsive, 2'500'000, {1592, 1112, 60}},
        {StudioPreset::balanced, 0, {1592, 1112, 15}},
    };
    for (const Case& c : cases) {
        const auto list = StudioOperatingPointPolicy::makeCandidates(2388, 1668, c.preset);
        const StudioOperatingPoint pick =
            StudioOperatingPointPolicy::selectInitial(list, c.bitrate);
        EXPECT_EQ((Point{pick.size.width, pick.size.height, pick.framesPerSecond}), c.expected)
            << rawValue(c.preset) << " at " << c.bitrate;
        if (c.expected == Point{1788, 1248, 30}) {
            EXPECT_EQ(pick.size.requestWidth, 1792);
            EXPECT_EQ(pick.size.requestHeight, 1252);
        }
    }
}

}  // namespace
}  // namespace quillory
