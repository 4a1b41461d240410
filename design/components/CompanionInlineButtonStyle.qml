import QtQuick
import QtQuick.Templates as T
import QuilloryDesign

// A small inline button: a lightly tinted rounded rectangle with a hairline rim in the secondary
// text colour. A `destructive` one takes the danger colour while hovered or pressed.
T.AbstractButton {
    id: control

    property bool destructive: false

    readonly property bool pointerHovered: pointer.hovering
    readonly property bool engaged: pointerHovered || pressed
    readonly property color tint: destructive && engaged ? Design.colors.destructiveText
                                                         : Design.colors.secondaryText
    // What is drawn follows `tint`, the fill and the rim with the quick spring.
    property real danger: destructive && engaged ? 1 : 0
    property real fillAlpha: pressed ? 0.16 : pointerHovered ? 0.08 : 0.03
    property real rimAlpha: engaged ? 0.25 : 0.12
    readonly property color shownTint: Motion.blend(Design.colors.secondaryText,
                                                    Design.colors.destructiveText, danger)

    function tinted(alpha) {
        return Qt.rgba(shownTint.r, shownTint.g, shownTint.b, Math.max(0, Math.min(1, alpha)))
    }

    font: DesignTypography.subheadline
    leftPadding: 12
    rightPadding: 12
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: Math.max(32, implicitContentHeight + topPadding + bottomPadding)
    focusPolicy: Qt.StrongFocus

    opacity: enabled ? 1 : 0.4
    scale: pressed && !Appearance.reduceMotion ? 0.97 : 1

    SpringBehavior on scale { motion: Motion.quick }
    SpringBehavior on danger { motion: Motion.quick }
    SpringBehavior on fillAlpha { motion: Motion.quick }
    SpringBehavior on rimAlpha { motion: Motion.quick }

    contentItem: DText {
        text: control.text
        font: control.font
        color: control.shownTint
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        maximumLineCount: 1
        elide: Text.ElideRight
    }

    background: Rectangle {
        objectName: "inlineFill"
        radius: 10
        color: control.tinted(control.fillAlpha)
        border.width: 1
        border.color: control.tinted(control.rimAlpha)

        FocusRing {
            control: control
            shapeRadius: 10
        }
    }

    PointerHover {
        id: pointer

        active: control.enabled
    }
}
