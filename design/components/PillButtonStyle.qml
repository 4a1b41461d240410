import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import QuilloryDesign

// The standard text button: a capsule in a role colour. `role`: "primary", "soft" or
// "destructive"; `size`: "regular" or "large"; `expand` stretches it across its parent's width
// (a layout's, through fillWidth).
T.AbstractButton {
    id: control

    property string role: "primary"
    property string size: "regular"
    property bool expand: false

    readonly property bool large: size === "large"
    readonly property bool primary: role === "primary"
    readonly property bool pointerHovered: pointer.hovering
    readonly property color foreground: primary ? Design.colors.onAccent
                                       : role === "destructive" ? Design.colors.destructive
                                                                : Design.colors.primaryText
    readonly property real minimumHeight: large ? 52 : 44

    font: large ? PadType.bodySemibold : PadType.calloutSemibold
    leftPadding: large ? 24 : 20
    rightPadding: leftPadding
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: Math.max(minimumHeight, implicitContentHeight + topPadding + bottomPadding)
    width: expand && parent ? parent.width : implicitWidth
    Layout.fillWidth: expand
    focusPolicy: Qt.StrongFocus

    opacity: !enabled ? 0.45 : pressed ? 0.86 : 1
    scale: pressed && !Appearance.reduceMotion ? 0.96 : 1

    SpringBehavior on opacity { motion: Motion.press }
    SpringBehavior on scale { motion: Motion.press }

    contentItem: DText {
        text: control.text
        font: control.font
        color: control.foreground
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        maximumLineCount: 1
        elide: Text.ElideRight
    }

    background: Item {
        DesignShadow {
            anchors.fill: parent
            blur: 10
            offsetY: 5
            shapeRadius: height / 2
            shadowColor: Qt.rgba(Design.colors.accent.r, Design.colors.accent.g,
                                 Design.colors.accent.b, 0.35)
            visible: control.primary && control.enabled
        }

        Rectangle {
            objectName: "pillFill"
            anchors.fill: parent
            radius: height / 2
            color: control.primary ? Design.colors.accent : Design.colors.neutralFill
        }

        Rectangle {
            objectName: "pillSheen"
            anchors.fill: parent
            radius: height / 2
            color: control.primary ? Qt.rgba(1, 1, 1, 0.1)
                                   : Qt.rgba(Design.colors.primaryText.r,
                                             Design.colors.primaryText.g,
                                             Design.colors.primaryText.b, 0.06)
            opacity: control.pointerHovered && !control.pressed ? 1 : 0

            SpringBehavior on opacity { motion: Motion.quick }
        }

        TopRim {
            anchors.fill: parent
            radius: height / 2
            visible: control.primary
        }

        FocusRing {
            control: control
        }
    }

    PointerHover {
        id: pointer

        active: control.enabled
    }
}
