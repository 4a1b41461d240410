import QtQuick
import QtQuick.Templates as T
import QuilloryDesign

// A square icon button for small floating toolbars: clear at rest, a light wash on hover and
// press, an accent tile when `selected`. Without a `radius` it is a circle. `text` names it for
// assistive technology; the label is the icon role named by `icon.name` unless a contentItem of its own is given.
T.AbstractButton {
    id: control

    property bool selected: false
    property real dimension: 38
    property real radius: -1

    readonly property real shapeRadius: radius >= 0 ? radius : dimension / 2
    readonly property bool pointerHovered: pointer.hovering
    // 1 when selected, 0 when not; the fill, the glow and the icon follow it with a gentle spring.
    property real selection: selected ? 1 : 0
    readonly property color wash: Qt.rgba(Design.colors.primaryText.r, Design.colors.primaryText.g,
                                          Design.colors.primaryText.b,
                                          pressed ? 0.08 : pointerHovered ? 0.05 : 0)
    readonly property color foreground: Motion.blend(Design.colors.primaryText,
                                                     Design.colors.onAccent, selection)

    implicitWidth: dimension
    implicitHeight: dimension
    padding: 0
    focusPolicy: Qt.StrongFocus
    Accessible.name: text

    opacity: enabled ? 1 : 0.4
    scale: pressed && !Appearance.reduceMotion ? 0.92 : 1

    SpringBehavior on scale { motion: Motion.press }
    SpringBehavior on selection { motion: Motion.gentle }

    contentItem: Item {
        IconView {
            anchors.centerIn: parent
            icon: control.icon.name
            color: control.foreground
        }
    }

    background: Item {
        DesignShadow {
            anchors.fill: parent
            blur: 6
            offsetY: 3
            shapeRadius: control.shapeRadius
            shadowColor: Qt.rgba(Design.colors.accent.r, Design.colors.accent.g,
                                 Design.colors.accent.b, 0.4)
            opacity: Math.min(1, control.selection)
            visible: control.selection > 0
        }

        Rectangle {
            objectName: "floatingFill"
            anchors.fill: parent
            radius: control.shapeRadius
            color: Motion.blend(control.wash, Design.colors.accent, control.selection)
        }

        FocusRing {
            control: control
            shapeRadius: control.shapeRadius
        }
    }

    PointerHover {
        id: pointer

        active: control.enabled
    }
}
