#include "design/design_motion.h"

#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlEngine>
#include <cmath>
#include <memory>
#include <numbers>

#include "tests/support/manual_animation_driver.h"

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
}

TEST(DesignMotion, StiffOverdampedSpringsStayWithinQtsLimits) {
    const auto stiff = DesignMotion::qtSpring(0.05, 1.5);
    EXPECT_GT(stiff.damping, 0);
    EXPECT_LE(stiff.damping, 1);
    EXPECT_NEAR(DesignMotion::simulateQtSpring(stiff, 0, 1, 60).back(), 1, 0.001);
}

// Qt Quick's own SpringAnimation, fed the converted parameters, moves exactly as the model the
// conversion was derived from: what the conversion promises holds for the real animation.
TEST(SpringAnimation, QtMovesAsTheConversionAssumes) {
    ManualAnimationDriver driver;
    driver.install();
    QQmlEngine engine;
    for (const DesignSpring spring :
         {DesignMotion::press, DesignMotion::bouncy, DesignMotion::smooth}) {
        const QtSpringParameters qt = DesignMotion::qtSpring(spring);
        QQmlComponent component(&engine);
        component.setData(
            QStringLiteral("import QtQuick\n"
                           "Item { Behavior on x { SpringAnimation {"
                           " spring: %1; damping: %2; mass: 1; epsilon: 0.000001 } } }")
                .arg(qt.spring, 0, 'g', 17)
                .arg(qt.damping, 0, 'g', 17)
                .toUtf8(),
            QUrl());
        std::unique_ptr<QObject> item(component.create());
        ASSERT_TRUE(item) << component.errorString().toStdString();

        const auto expected = DesignMotion::simulateQtSpring(qt, 0, 100, 40);
        item->setProperty("x", 100.0);
        // Qt may start the animation a frame early or late, so its first frames can hold zero
        // or two steps; from then on each frame must be exactly one step of the model.
        for (int wait = 0; wait < 3 && item->property("x").toDouble() == 0; ++wait) {
            driver.frame();
        }
        std::size_t step = 0;
        while (step < 3 && std::abs(item->property("x").toDouble() - expected[step]) > 1e-6) {
            ++step;
        }
        ASSERT_LT(step, 3u) << "first position " << item->property("x").toDouble();
        for (; step < expected.size(); ++step) {
            ASSERT_NEAR(item->property("x").toDouble(), expected[step], 1e-6)
                << "spring " << spring.response << ", step " << step + 1;
            driver.frame();
        }
    }
    driver.uninstall();
}

}  // namespace
}  // namespace quillory
