import QtQuick
import QuilloryDesign

// A spring from Motion on one property, off while reduced motion is asked for:
//     SpringBehavior on scale { motion: Motion.press }
// `epsilon`: 0.001 for opacity, scale and fractions; 0.25 for pixel positions.
Behavior {
    id: behavior

    property MotionSpring motion: Motion.standard
    property real epsilon: 0.001

    enabled: Motion.enabled

    SpringAnimation {
        spring: behavior.motion.spring
        damping: behavior.motion.damping
        mass: behavior.motion.mass
        epsilon: behavior.epsilon
    }
}
