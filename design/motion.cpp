#include "design/motion.h"

#include <QJSEngine>
#include <algorithm>

#include "design/appearance.h"

namespace quillory {

MotionSpring::MotionSpring(DesignSpring spring, QObject* parent)
    : QObject(parent), design_(spring), qt_(DesignMotion::qtSpring(spring)) {}

Motion::Motion()
    : standard_(new MotionSpring(DesignMotion::standard, this)),
      press_(new MotionSpring(DesignMotion::press, this)),
      quick_(new MotionSpring(DesignMotion::quick, this)),
      snappy_(new MotionSpring(DesignMotion::snappy, this)),
      smooth_(new MotionSpring(DesignMotion::smooth, this)),
      gentle_(new MotionSpring(DesignMotion::gentle, this)),
      bouncy_(new MotionSpring(DesignMotion::bouncy, this)),
      enabled_(enabled()) {
    connect(Appearance::shared(), &Appearance::changed, this, [this] {
        if (enabled() != enabled_) {
            enabled_ = enabled();
            emit enabledChanged();
        }
    });
}

Motion* Motion::create(QQmlEngine*, QJSEngine*) {
    static Motion* const instance = new Motion();
    QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

bool Motion::enabled() const {
    return !Appearance::shared()->reduceMotion();
}

QColor Motion::blend(const QColor& from, const QColor& to, double progress) {
    const float t = static_cast<float>(std::clamp(progress, 0.0, 1.0));
    const auto mix = [t](float a, float b) { return a + (b - a) * t; };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()),
                            mix(from.blueF(), to.blueF()), mix(from.alphaF(), to.alphaF()));
}

}  // namespace quillory
