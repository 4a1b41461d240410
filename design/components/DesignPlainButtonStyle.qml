import QtQuick
import QtQuick.Templates as T
import QuilloryDesign

// The quietest button: the label (plain text of `text` in `foreground`, or a contentItem of its
// own) only dims on hover and press; only the hover is animated.
T.AbstractButton {
    id: control

    property color foreground: Design.colors.primaryText

    readonly property bool pointerHovered: pointer.hovering
    // Only hovering animates: the spring moves this fraction, and a press or a disabled button
    // dims at once.
    property real hoverT: pointerHovered ? 1 : 0

    padding: 0
    implicitWidth: implicitContentWidth
    implicitHeight: implicitContentHeight
    focusPolicy: Qt.StrongFocus
    font: DesignTypography.body

    opacity: !enabled ? 0.4 : pressed ? 0.7 : 1 + (0.82 - 1) * hoverT

    // Only an opacity fade, so it runs whatever the motion setting.
    Behavior on hoverT {
        SpringAnimation {
            spring: Motion.quick.spring
            damping: Motion.quick.damping
            mass: Motion.quick.mass
            epsilon: 0.001
        }
    }

    contentItem: DText {
        text: control.text
        font: control.font
        color: control.foreground
    }

    background: FocusRing {
        control: control
        shapeRadius: 4
    }

    PointerHover {
        id: pointer

        active: control.enabled
    }
}
