#include "app/interface/ink/ink_geometry.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "app/interface/ink/testing/recorded_strokes.h"

namespace quillory {
namespace {

using Phase = PenSample::Phase;
using Kind = InkMark::Kind;

PenSample at(Phase phase, double x, double y, double pressure = 0.5) {
    return penSample(phase, x, y, pressure);
}

constexpr InkSize canvas{100, 50};

TEST(InkGeometry, StrokesFollowTheJoiningRule) {
    struct Case {
        const char* name;
        std::vector<PenSample> samples;
        std::vector<InkMark> expected;
    };
    const std::vector<Case> cases = {
        {"began then moved: a dot of w(0.2) and a segment of w(0.6)",
         {at(Phase::began, 0.1, 0.2, 0.2), at(Phase::moved, 0.5, 0.6, 0.6)},
         {{Kind::dot, {10, 10}, {10, 10}, 3.9}, {Kind::segment, {10, 10}, {50, 30}, 8.7, 3.9}}},
        {"the width follows the heavier end",
         {at(Phase::began, 0, 0, 0.9), at(Phase::moved, 1, 1, 0.1)},
         {{Kind::dot, {0, 0}, {0, 0}, 12.3}, {Kind::segment, {0, 0}, {100, 50}, 12.3, 12.3}}},
        {"a leading moved draws nothing but anchors the next segment",
         {at(Phase::moved, 0, 0, 0), at(Phase::moved, 0.5, 0.5, 0)},
         {{Kind::segment, {0, 0}, {50, 25}, 1.5}}},
        {"ended draws its segment, then nothing joins it",
         {at(Phase::began, 0, 0, 0), at(Phase::ended, 0.5, 0, 0), at(Phase::moved, 1, 0, 0),
          at(Phase::moved, 1, 1, 0)},
         {{Kind::dot, {0, 0}, {0, 0}, 1.5},
          {Kind::segment, {0, 0}, {50, 0}, 1.5, 1.5},
          {Kind::segment, {100, 0}, {100, 50}, 1.5}}},
        {"cancelled and hover draw nothing and break the stroke",
         {at(Phase::moved, 0, 0, 0), at(Phase::cancelled, 0.5, 0, 0), at(Phase::moved, 1, 0, 0),
          at(Phase::hover, 1, 1, 0), at(Phase::ended, 0, 1, 0)},
         {}},
        {"a lone began is one dot at full pressure",
         {at(Phase::began, 1, 1, 1)},
         {{Kind::dot, {100, 50}, {100, 50}, 13.5}}},
        {"nothing drawn from nothing", {}, {}},
    };
    for (const auto& c : cases) {
        const auto marks = InkGeometry::marks(c.samples, canvas);
        ASSERT_EQ(marks.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < marks.size(); ++i) {
            EXPECT_EQ(marks[i].kind, c.expected[i].kind) << c.name << " #" << i;
            EXPECT_EQ(marks[i].from, c.expected[i].from) << c.name << " #" << i;
            EXPECT_EQ(marks[i].to, c.expected[i].to) << c.name << " #" << i;
            EXPECT_NEAR(marks[i].width, c.expected[i].width, 1e-9) << c.name << " #" << i;
            EXPECT_NEAR(marks[i].joined, c.expected[i].joined, 1e-9) << c.name << " #" << i;
        }
    }
}

TEST(InkGeometry, GridDotsLieOnTheLatticeInsideTheCanvas) {
    struct Case {
        InkSize size;
        bool grid;
        std::size_t columns;
        std::size_t rows;
    };
    for (const Case& c :
         {Case{{760, 427.5}, true, 31, 17}, Case{{760, 475}, true, 31, 19},
          Case{{24, 400}, true, 0, 0}, Case{{24.5, 400}, true, 1, 16}, Case{{760, 24}, true, 0, 0},
          Case{{760, 427.5}, false, 0, 0}, Case{{48, 48}, true, 1, 1}}) {
        const auto dots = InkGeometry::gridDots(c.size, c.grid);
        std::set<double> xs;
        std::set<double> ys;
        for (const InkPoint& dot : dots) {
            xs.insert(dot.x);
            ys.insert(dot.y);
            EXPECT_GT(dot.x, 0);
            EXPECT_GT(dot.y, 0);
            EXPECT_LT(dot.x, c.size.width);
            EXPECT_LT(dot.y, c.size.height);
        }
        EXPECT_EQ(xs.size(), c.columns) << c.size.width << " x " << c.size.height;
        EXPECT_EQ(ys.size(), c.rows) << c.size.width << " x " << c.size.height;
        EXPECT_EQ(dots.size(), c.columns * c.rows);
        if (!xs.empty()) {
            EXPECT_EQ(*xs.begin(), 24);
        }
    }
    EXPECT_EQ(*InkGeometry::gridDots({760, 100}, true).rbegin(), (InkPoint{744, 96}));
}

TEST(InkGeometry, TheRingIsCentredOnThePointerEvenAtTheCorner) {
    EXPECT_EQ(InkGeometry::ringCentre(at(Phase::hover, 0, 0), canvas), (InkPoint{0, 0}));
    EXPECT_EQ(InkGeometry::ringCentre(at(Phase::moved, 0.25, 1), canvas), (InkPoint{25, 50}));
}

TEST(InkGeometry, HasInkOnlyWithBeganOrMoved) {
    EXPECT_FALSE(InkGeometry::hasInk({}));
    for (Phase phase : {Phase::ended, Phase::cancelled, Phase::hover}) {
        EXPECT_FALSE(InkGeometry::hasInk(std::vector{at(phase, 0, 0), at(phase, 1, 1)}));
    }
    for (Phase phase : {Phase::began, Phase::moved}) {
        EXPECT_TRUE(InkGeometry::hasInk(std::vector{at(Phase::ended, 0, 0), at(phase, 1, 1)}));
    }
}

// Drawing a history batch by batch, from any split, gives exactly the marks of one full pass.
TEST(InkGeometry, ResumingAnywhereEqualsTheFullPass) {
    std::mt19937 random(26);
    std::uniform_int_distribution<int> phase(0, 4);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int run = 0; run < 200; ++run) {
        std::vector<PenSample> samples;
        const int count = 1 + run % 40;
        for (int i = 0; i < count; ++i) {
            samples.push_back(
                at(static_cast<Phase>(phase(random)), unit(random), unit(random), unit(random)));
        }
        const auto full = InkGeometry::marks(samples, canvas);
        std::vector<InkMark> batched;
        std::size_t from = 0;
        while (from < samples.size()) {
            const std::size_t to = std::min(samples.size(), from + 1 + random() % 5);
            InkGeometry::marks(std::span(samples).first(to), from, canvas, batched);
            from = to;
        }
        ASSERT_EQ(batched, full) << "run " << run;
    }
}

}  // namespace
}  // namespace quillory
