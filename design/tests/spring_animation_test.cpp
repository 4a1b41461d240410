#include <gtest/gtest.h>

#include <QAnimationDriver>
#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <cmath>
#include <memory>

#include "design/design_motion.h"

namespace quillory {
namespace {

// Hands Qt's animations time in exact 16 ms frames, so the real SpringAnimation can be sampled
// frame by frame without a clock.
class ManualAnimationDriver final : public QAnimationDriver {
  public:
    qint64 elapsed() const override { return milliseconds_; }
    void frame() {
        QCoreApplication::processEvents();  // Qt starts newly registered animations from here.
        milliseconds_ += 16;
        advance();
    }

  private:
    qint64 milliseconds_ = 0;
};

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
