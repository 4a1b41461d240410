#include "platform/capture/capture_damage_settle.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillory {
namespace {

constexpr double ms = 0.001;
constexpr double grabSeconds = 1 * ms;

// A sequence of damage and grabs at 60 frames per second, with the grab time after each step.
struct Step {
    enum Kind { damage, grab } kind;
    double at;
    std::optional<double> due;  // after the step
};

struct Case {
    const char* name;
    std::vector<Step> steps;
};

TEST(CaptureDamageSettle, GrabsAtOnceUnlessAClientDrawsInStepsOrFasterThanTheFrameRate) {
    const double quiet = CaptureDamageSettle::quietSeconds;
    const double longest = CaptureDamageSettle::longestSettleSeconds;
    const double interval = 1.0 / 60;
    const double spacing = CaptureDamageSettle::spacingShare * interval;
    const double memory = CaptureDamageSettle::stepwiseMemorySeconds;
    const Case cases[] = {
        {"damage is grabbed when it arrives", {{Step::damage, 100 * ms, 100 * ms}}},
        {"damage from a faster client soon after a grab waits for the next frame",
         {{Step::grab, 100 * ms, std::nullopt}, {Step::damage, 105 * ms, 100 * ms + interval}}},
        {"damage past the spacing is grabbed at once, even while earlier damage waits",
         {{Step::grab, 100 * ms, std::nullopt},
          {Step::damage, 105 * ms, 100 * ms + interval},
          {Step::damage, 113 * ms, 113 * ms}}},
        {"a picture a little early waits only for the spacing",
         {{Step::grab, 100 * ms, std::nullopt}, {Step::damage, 111 * ms, 100 * ms + spacing}}},
        {"pictures at the frame rate that come less late than one before are not held",
         {{Step::grab, 100 * ms, std::nullopt},
          {Step::damage, 128.7 * ms, 128.7 * ms},
          {Step::grab, 128.7 * ms, std::nullopt},
          {Step::damage, 141.3 * ms, 141.3 * ms},
          {Step::grab, 141.3 * ms, std::nullopt},
          {Step::damage, 154 * ms, 154 * ms},
          {Step::grab, 154 * ms, std::nullopt},
          {Step::damage, 166.7 * ms, 166.7 * ms}}},
        {"one damage right after a grab is no pattern",
         {{Step::grab, 100 * ms, std::nullopt},
          {Step::damage, 101.5 * ms, 100 * ms + interval},
          {Step::grab, 100 * ms + interval, std::nullopt},
          {Step::damage, 140 * ms, 140 * ms}}},
        {"a client drawing in steps waits for quiet within the bound, for a while",
         {{Step::grab, 100 * ms, std::nullopt},
          {Step::damage, 101.5 * ms, 100 * ms + interval},
          {Step::grab, 120 * ms, std::nullopt},
          {Step::damage, 121.5 * ms, 120 * ms + interval},
          {Step::grab, 130 * ms, std::nullopt},
          {Step::damage, 150 * ms, 150 * ms + quiet},
          {Step::damage, 151 * ms, 151 * ms + quiet},
          {Step::damage, 155.9 * ms, 150 * ms + longest},
          {Step::grab, 156 * ms, std::nullopt},
          {Step::damage, 121.5 * ms + memory, 121.5 * ms + memory}}},
    };
    for (const auto& c : cases) {
        CaptureDamageSettle settle(interval);
        for (const auto& step : c.steps) {
            if (step.kind == Step::damage) {
                EXPECT_DOUBLE_EQ(settle.damaged(step.at), *step.due) << c.name << " at " << step.at;
            } else {
                settle.grabbed(step.at, step.at + grabSeconds);
            }
            ASSERT_EQ(settle.due().has_value(), step.due.has_value()) << c.name;
            if (step.due) {
                EXPECT_DOUBLE_EQ(*settle.due(), *step.due) << c.name;
            }
        }
    }
}

TEST(CaptureDamageSettle, OfAClientAtTwiceTheFrameRateEveryOtherPictureIsGrabbedAsItComes) {
    CaptureDamageSettle settle(1.0 / 60);
    settle.setInterval(1.0 / 30);
    for (int picture = 0; picture < 6; picture += 2) {
        const double at = 1.0 + picture / 60.0;
        settle.grabbed(at, at + grabSeconds);
        EXPECT_DOUBLE_EQ(settle.damaged(at + 1.0 / 60), at + 1.0 / 30);
        EXPECT_DOUBLE_EQ(settle.damaged(at + 1.0 / 30), at + 1.0 / 30);
    }
}

}  // namespace
}  // namespace quillory
