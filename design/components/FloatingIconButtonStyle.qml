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
    readonly property color foreground: selected ? Design.colors.onAccent
                                                 : Design.colors.primaryText

    implicitWidth: dimension
    implicitHeight: dimension
    padding: 0
    focusPolicy: Qt.StrongFocus
    Accessible.name: text

    opacity: enabled ? 1 : 0.4
    scale: pressed && !Appearance.reduceMotion ? 0.92 : 1

    SpringBehavior on scale { motion: Motion.press }

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
            visible: control.selected
        }

        Rectangle {
            objectName: "floatingFill"
            anchors.fill: parent
            radius: control.shapeRadius
            color: control.selected ? Design.colors.accent
                                    : Qt.rgba(Design.colors.primaryText.r,
                                              Design.colors.primaryText.g,
                                              Design.colors.primaryText.b,
                                              control.pressed ? 0.08 : 0.05)
            visible: control.selected || control.pressed || control.pointerHovered
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
