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

TEST(CaptureDamageSettle, GrabsOnceDamageIsQuietWithinItsBoundsAndTheFrameSpacing) {
    const double quiet = CaptureDamageSettle::quietSeconds;
    const double longest = CaptureDamageSettle::longestSettleSeconds;
    const double spacing = CaptureDamageSettle::spacingShare / 60;
    const Case cases[] = {
        {"a single damage waits for quiet", {{Step::damage, 100 * ms, 100 * ms + quiet}}},
        {"each further damage moves the grab on",
         {{Step::damage, 100 * ms, 100 * ms + quiet},
          {Step::damage, 101 * ms, 101 * ms + quiet},
          {Step::damage, 102 * ms, 102 * ms + quiet}}},
        {"a client that never stops drawing is grabbed at the bound",
         {{Step::damage, 100 * ms, 100 * ms + quiet},
          {Step::damage, 105 * ms, 100 * ms + longest},
          {Step::damage, 105.9 * ms, 100 * ms + longest},
          {Step::damage, 120 * ms, 100 * ms + longest}}},
        {"a grab clears the wait and the next damage keeps the frame spacing",
         {{Step::damage, 100 * ms, 100 * ms + quiet},
          {Step::grab, 101.5 * ms, std::nullopt},
          {Step::damage, 103 * ms, 101.5 * ms + spacing}}},
        {"damage well after the last grab is taken at once when quiet",
         {{Step::grab, 100 * ms, std::nullopt}, {Step::damage, 130 * ms, 130 * ms + quiet}}},
        {"a grab by the tick resets the bound for the next damage",
         {{Step::damage, 100 * ms, 100 * ms + quiet},
          {Step::damage, 103 * ms, 103 * ms + quiet},
          {Step::grab, 103.5 * ms, std::nullopt},
          {Step::damage, 150 * ms, 150 * ms + quiet},
          {Step::damage, 155 * ms, 150 * ms + longest}}},
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
    settle.grabbed(1.0);
    settle.setInterval(1.0 / 15);
    EXPECT_DOUBLE_EQ(settle.damaged(1.002), 1.0 + CaptureDamageSettle::spacingShare / 15);
}

}  // namespace
}  // namespace quillory
