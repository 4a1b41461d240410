#pragma once

#include <QtQml/qqmlregistration.h>

#include <QColor>
#include <QObject>

#include "design/design_motion.h"

class QQmlEngine;
class QJSEngine;

namespace quillory {

// One design spring in the terms of SpringAnimation (`spring`, `damping`, `mass`).
class MotionSpring final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Read the springs of Motion")
    Q_PROPERTY(qreal spring READ spring CONSTANT)
    Q_PROPERTY(qreal damping READ damping CONSTANT)
    Q_PROPERTY(qreal mass READ mass CONSTANT)
    Q_PROPERTY(qreal response READ response CONSTANT)
    Q_PROPERTY(qreal dampingFraction READ dampingFraction CONSTANT)

  public:
    MotionSpring(DesignSpring spring, QObject* parent);

    qreal spring() const { return qt_.spring; }
    qreal damping() const { return qt_.damping; }
    qreal mass() const { return qt_.mass; }
    qreal response() const { return design_.response; }
    qreal dampingFraction() const { return design_.dampingFraction; }

  private:
    DesignSpring design_;
    QtSpringParameters qt_;
};

// The design's springs for QML (`Motion.press.spring`) and whether anything may move at all:
// `enabled` is false while the desktop asks for reduced motion.
class Motion final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(quillory::MotionSpring* standard READ standard CONSTANT)
    Q_PROPERTY(quillory::MotionSpring* press READ press CONSTANT)
    Q_PROPERTY(quillory::MotionSpring* quick READ quick CONSTANT)
    Q_PROPERTY(quillory::MotionSpring* snappy READ snappy CONSTANT)
    Q_PROPERTY(quillory::MotionSpring* smooth READ smooth CONSTANT)
    Q_PROPERTY(quillory::MotionSpring* gentle READ gentle CONSTANT)
    Q_PROPERTY(quillory::MotionSpring* bouncy READ bouncy CONSTANT)
    Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)

  public:
    static Motion* create(QQmlEngine*, QJSEngine*);

    MotionSpring* standard() const { return standard_; }
    MotionSpring* press() const { return press_; }
    MotionSpring* quick() const { return quick_; }
    MotionSpring* snappy() const { return snappy_; }
    MotionSpring* smooth() const { return smooth_; }
    MotionSpring* gentle() const { return gentle_; }
    MotionSpring* bouncy() const { return bouncy_; }
    bool enabled() const;

    // The colour `progress` of the way from `from` to `to`, channel by channel with alpha, for a
    // colour driven by a spring; progress beyond 0 to 1 (a spring's overshoot) is held at the ends.
    Q_INVOKABLE static QColor blend(const QColor& from, const QColor& to, double progress);

  signals:
    void enabledChanged();

  private:
    Motion();

    MotionSpring* standard_;
    MotionSpring* press_;
    MotionSpring* quick_;
    MotionSpring* snappy_;
    MotionSpring* smooth_;
    MotionSpring* gentle_;
    MotionSpring* bouncy_;
    bool enabled_;
};

}  // namespace quillory
