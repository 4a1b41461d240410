import QtQuick
import QtQuick.Templates as T
import QuilloryDesign

// The large action button: a raised key, accent-coloured when `primary`. Pressing moves the
// whole key down by 2 points while its lip shrinks.
T.AbstractButton {
    id: control

    property bool primary: false

    readonly property bool pointerHovered: pointer.hovering
    readonly property color foreground: primary ? Design.colors.onAccent
                                                : Design.colors.primaryText

    font: DesignTypography.subheadlineMedium
    leftPadding: 20
    rightPadding: 20
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: Math.max(44, implicitContentHeight + topPadding + bottomPadding)
    focusPolicy: Qt.StrongFocus

    opacity: !enabled ? 0.4 : pressed ? 0.94 : pointerHovered ? 0.9 : 1
    transform: Translate {
        y: control.pressed && !Appearance.reduceMotion ? 2 : 0

        SpringBehavior on y {
            motion: Motion.press
            epsilon: 0.25
        }
    }

    SpringBehavior on opacity { motion: Motion.press }

    contentItem: DText {
        text: control.text
        font: control.font
        color: control.foreground
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        maximumLineCount: 1
        elide: Text.ElideRight
    }

    background: ControlFace {
        primary: control.primary
        pressed: control.pressed
        radius: 16

        FocusRing {
            control: control
            shapeRadius: 16
        }
    }

    PointerHover {
        id: pointer

        active: control.enabled
    }
}
