import QtQuick
import QtQuick.Templates as T
import QuilloryDesign

// A button whose label (its contentItem) draws its own background: it dims, shrinks and sinks
// the label while pressed and tells every ControlFace inside that the button is held.
T.AbstractButton {
    id: control

    readonly property bool pointerHovered: pointer.hovering

    padding: 0
    implicitWidth: implicitContentWidth
    implicitHeight: implicitContentHeight
    focusPolicy: Qt.StrongFocus
    DesignControl.pressed: pressed

    opacity: !enabled ? 0.4 : pressed ? 0.82 : pointerHovered ? 0.9 : 1
    scale: pressed && !Appearance.reduceMotion ? 0.97 : 1
    transform: Translate {
        y: control.pressed && !Appearance.reduceMotion ? 2 : 0

        SpringBehavior on y {
            motion: Motion.press
            epsilon: 0.25
        }
    }

    SpringBehavior on opacity { motion: Motion.press }
    SpringBehavior on scale { motion: Motion.press }

    background: FocusRing {
        control: control
        shapeRadius: 8
    }

    PointerHover {
        id: pointer

        active: control.enabled
    }
}
