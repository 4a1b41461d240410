#include "media/studio_adaptation_observation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "studio_test_fixtures.h"

namespace quillory {
namespace {

using Validity = StudioAdaptationObservation::Validity;
using Edit = std::function<void(StudioEncoderFeedback&, std::optional<StudioMediaInterval>&)>;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Feedback observed at 11.0 with a window from 10.0, against an interval from 10.0 to 11.0.
TEST(StudioAdaptationObservationTest, GradesThePairAtEachBoundary) {
    const auto silence = [](StudioEncoderFeedback& f, std::optional<StudioMediaInterval>& i) {
        f.output = 0;
        i->frames = 0;
    };
    const std::tuple<const char*, Edit, Validity> cases[] = {
        {"as given", [](auto&, auto&) {}, Validity::measured},
        {"no interval", [](auto&, auto& i) { i.reset(); }, Validity::unavailable},
        {"two-second windows", [](auto& f, auto& i) { f.windowStart = i->windowStart = 9.0; },
         Validity::measured},
        {"interval a step over two seconds",
         [](auto& f, auto& i) {
             f.windowStart = 9.0;
             i->windowStart = std::nextafter(9.0, 0.0);
         },
         Validity::stale},
        {"interval without a start", [](auto&, auto& i) { i->windowStart.reset(); },
         Validity::stale},
        {"interval end not a number", [](auto&, auto& i) { i->windowEnd = nan; }, Validity::stale},
        {"interval ends after the feedback", [](auto&, auto& i) { i->windowEnd = 11.0001; },
         Validity::stale},
        {"interval ended 0.5 s before", [](auto& f, auto&) { f.observedAt = 11.5; },
         Validity::stale},
        {"epoch began at the interval's start", [](auto& f, auto&) { f.epochStartedAt = 10.0; },
         Validity::measured},
        {"epoch began a moment later", [](auto& f, auto&) { f.epochStartedAt = 10.001; },
         Validity::transition},
        {"epoch start not a number", [](auto& f, auto&) { f.epochStartedAt = nan; },
         Validity::transition},
        {"feedback without a window", [](auto& f, auto&) { f.windowStart.reset(); },
         Validity::unavailable},
        {"overlap 0.8 of 1.0",
         [](auto& f, auto&) {
             f.observedAt = 11.1;
             f.windowStart = 10.2;
         },
         Validity::measured},
        {"overlap exactly 0.75", [](auto& f, auto&) { f.windowStart = 10.25; }, Validity::measured},
        {"overlap 0.5", [](auto& f, auto&) { f.windowStart = 10.5; }, Validity::unavailable},
        {"silent on both sides without statistics",
         [&](auto& f, auto& i) {
             silence(f, i);
             i->meanQP.reset();
             i->queueMS.reset();
         },
         Validity::idle},
        {"no frames but encoder output", [](auto&, auto& i) { i->frames = 0; }, Validity::measured},
        {"no frames, output, no statistics",
         [](auto&, auto& i) {
             i->frames = 0;
             i->meanQP.reset();
         },
         Validity::unavailable},
        {"infinite mean QP",
         [](auto&, auto& i) { i->meanQP = std::numeric_limits<double>::infinity(); },
         Validity::unavailable},
        {"no queue delay", [](auto&, auto& i) { i->queueMS.reset(); }, Validity::unavailable},
    };
    for (const auto& [name, edit, expected] : cases) {
        StudioEncoderFeedback f = testing::feedbackAt(11.0);
        std::optional<StudioMediaInterval> i = testing::intervalEnding(11.0);
        edit(f, i);
        EXPECT_EQ(StudioAdaptationObservation(f, i).validity(), expected) << name;
    }
}

}  // namespace
}  // namespace quillory
