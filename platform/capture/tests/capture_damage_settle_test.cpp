#include "platform/capture/capture_damage_settle.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillory {
namespace {

constexpr double ms = 0.001;

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

TEST(CaptureDamageSettle, GrabsAtOnceUnlessAClientDrawsInStepsWithinTheFrameSpacing) {
    const double quiet = CaptureDamageSettle::quietSeconds;
    const double longest = CaptureDamageSettle::longestSettleSeconds;
    const double spacing = (1 - CaptureDamageSettle::slackShare) / 60;
    const double memory = CaptureDamageSettle::stepwiseMemorySeconds;
    const Case cases[] = {
        {"damage is grabbed when it arrives", {{Step::damage, 100 * ms, 100 * ms}}},
        {"damage soon after a grab keeps the frame spacing",
         {{Step::grab, 100 * ms, std::nullopt}, {Step::damage, 103 * ms, 100 * ms + spacing}}},
        {"an early grab is paid back by the next",
         {{Step::grab, 100 * ms, std::nullopt},
          {Step::grab, 100 * ms + spacing, std::nullopt},
          {Step::damage, 120 * ms, 100 * ms + 2.0 / 60 - 0.5 / 60}}},
        {"a late grab earns its time back",
         {{Step::grab, 100 * ms, std::nullopt},
          {Step::grab, 130 * ms, std::nullopt},
          {Step::damage, 139 * ms, 139 * ms}}},
        {"one damage right after a grab is no pattern",
         {{Step::grab, 100 * ms, std::nullopt},
          {Step::damage, 100.5 * ms, 100 * ms + spacing},
          {Step::grab, 113 * ms, std::nullopt},
          {Step::damage, 140 * ms, 140 * ms}}},
        {"a client drawing in steps waits for quiet within the bound, for a while",
         {{Step::grab, 100 * ms, std::nullopt},
          {Step::damage, 100.5 * ms, 100 * ms + spacing},
          {Step::grab, 120 * ms, std::nullopt},
          {Step::damage, 120.5 * ms, 120 * ms + spacing},
          {Step::grab, 130 * ms, std::nullopt},
          {Step::damage, 150 * ms, 150 * ms + quiet},
          {Step::damage, 151 * ms, 151 * ms + quiet},
          {Step::damage, 155.9 * ms, 150 * ms + longest},
          {Step::grab, 156 * ms, std::nullopt},
          {Step::damage, 120.5 * ms + memory, 120.5 * ms + memory}}},
    };
    for (const auto& c : cases) {
        CaptureDamageSettle settle(1.0 / 60);
        for (const auto& step : c.steps) {
            if (step.kind == Step::damage) {
                EXPECT_DOUBLE_EQ(settle.damaged(step.at), *step.due) << c.name << " at " << step.at;
            } else {
                settle.grabbed(step.at);
            }
            ASSERT_EQ(settle.due().has_value(), step.due.has_value()) << c.name;
            if (step.due) {
                EXPECT_DOUBLE_EQ(*settle.due(), *step.due) << c.name;
            }
        }
    }
}

TEST(CaptureDamageSettle, ALowerFrameRateSpacesGrabsFurther) {
    CaptureDamageSettle settle(1.0 / 60);
    settle.setInterval(1.0 / 15);
    settle.grabbed(1.0);
    EXPECT_DOUBLE_EQ(settle.damaged(1.002), 1.0 + (1 - CaptureDamageSettle::slackShare) / 15);
}

}  // namespace
}  // namespace quillory
