#include "design/design_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace quillory {
namespace {

// What a step response shows: time to 90 %, overshoot, and time after which it stays within 1 %.
struct StepResponse {
    double rise90 = 0;
    double overshoot = 0;
    double settle = 0;
};

template <typename Position>
StepResponse measure(Position position, double dt, int samples) {
    StepResponse r;
    bool risen = false;
    double peak = 0;
    for (int i = 1; i <= samples; ++i) {
        const double x = position(i);
        if (!risen && x >= 0.9) {
            risen = true;
            r.rise90 = i * dt;
        }
        peak = std::max(peak, x);
        if (std::abs(x - 1) > 0.01) {
            r.settle = (i + 1) * dt;
        }
    }
    r.overshoot = peak - 1;
    return r;
}

// The continuous unit-mass spring of the design, from 0 towards 1.
StepResponse analytic(DesignSpring spring) {
    const double omega = 2 * std::numbers::pi / spring.response;
    const double zeta = spring.dampingFraction;
    const double dt = 0.0005;
    auto position = [&](int i) {
        const double t = i * dt;
        if (zeta >= 1) {
            return 1 - std::exp(-omega * t) * (1 + omega * t);
        }
        const double wd = omega * std::sqrt(1 - zeta * zeta);
        return 1 - std::exp(-zeta * omega * t) *
                       (std::cos(wd * t) + zeta * omega / wd * std::sin(wd * t));
    };
    return measure(position, dt, 4000);
}

StepResponse simulated(const QtSpringParameters& parameters) {
    const auto positions = DesignMotion::simulateQtSpring(parameters, 0, 1, 125);
    return measure([&](int i) { return positions[static_cast<std::size_t>(i - 1)]; },
                   DesignMotion::qtStep, static_cast<int>(positions.size()));
}

TEST(DesignMotion, ConvertedSpringsKeepTimingAndOvershoot) {
    const std::pair<const char*, DesignSpring> springs[] = {
        {"standard", DesignMotion::standard}, {"press", DesignMotion::press},
        {"quick", DesignMotion::quick},       {"snappy", DesignMotion::snappy},
        {"smooth", DesignMotion::smooth},     {"gentle", DesignMotion::gentle},
        {"bouncy", DesignMotion::bouncy}};
    for (const auto& [name, spring] : springs) {
        SCOPED_TRACE(name);
        const StepResponse want = analytic(spring);
        const StepResponse got = simulated(DesignMotion::qtSpring(spring));
        // Qt only sees every 16 ms, so times agree to one step and overshoot to a few per cent
        // of itself (half a percentage point).
        EXPECT_NEAR(got.rise90, want.rise90, DesignMotion::qtStep);
        EXPECT_NEAR(got.settle, want.settle, DesignMotion::qtStep);
        EXPECT_NEAR(got.overshoot, want.overshoot, 0.005);
    }
    // The table's figures for the two springs with visible overshoot.
    EXPECT_NEAR(simulated(DesignMotion::qtSpring(DesignMotion::press)).overshoot, 0.0388, 0.001);
    EXPECT_NEAR(simulated(DesignMotion::qtSpring(DesignMotion::bouncy)).overshoot, 0.0463, 0.001);
}

TEST(DesignMotion, TextbookCoefficientsWouldLoseTheBounce) {
    // The check above would catch a naive conversion: it damps "press" almost flat.
    const double omega = 2 * std::numbers::pi / DesignMotion::press.response;
    const QtSpringParameters naive{
        omega * omega * DesignMotion::qtStep,
        2 * DesignMotion::press.dampingFraction * omega * DesignMotion::qtStep, 1};
    EXPECT_LT(simulated(naive).overshoot, 0.01);
    EXPECT_GT(analytic(DesignMotion::press).overshoot, 0.03);
}

TEST(DesignMotion, ParametersMatchQtsLimits) {
    const auto press = DesignMotion::qtSpring(DesignMotion::press);
    EXPECT_NEAR(press.spring, 9.398, 0.001);
    EXPECT_NEAR(press.damping, 0.4821, 0.0001);
    EXPECT_EQ(press.mass, 1);
    // Critically damped and stiff springs still give a damping SpringAnimation accepts.
    const auto smooth = DesignMotion::qtSpring(DesignMotion::smooth);
    EXPECT_NEAR(smooth.spring, 4.543, 0.001);
    EXPECT_NEAR(smooth.damping, 0.4665, 0.0001);
    const auto stiff = DesignMotion::qtSpring(0.05, 1.5);
    EXPECT_GT(stiff.damping, 0);
    EXPECT_LE(stiff.damping, 1);
    const auto settled = DesignMotion::simulateQtSpring(stiff, 0, 1, 60);
    EXPECT_NEAR(settled.back(), 1, 0.001);
}

}  // namespace
}  // namespace quillory
