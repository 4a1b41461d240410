import QtQuick
import QtQuick.Templates as T
import QuilloryDesign

// The pill on a card header's blue band: white text on a translucent white capsule that brightens
// under the pointer and more while pressed; half transparent when disabled, and then never hovered.
T.AbstractButton {
    id: control

    readonly property bool pointerHovered: pointer.hovering
    // Pressed before hovered before at rest.
    readonly property real fillOpacity: pressed ? 0.30 : pointerHovered ? 0.24 : 0.16

    font: PadType.calloutSemibold
    leftPadding: 14
    rightPadding: 14
    topPadding: 0
    bottomPadding: 0
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: 30
    focusPolicy: Qt.StrongFocus
    opacity: enabled ? 1 : 0.5

    contentItem: DText {
        text: control.text
        font: control.font
        color: "white"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        maximumLineCount: 1
    }

    background: Item {
        Rectangle {
            objectName: "headerPillFill"
            anchors.fill: parent
            radius: height / 2
            color: Qt.rgba(1, 1, 1, control.fillOpacity)
        }

        Rectangle {
            anchors.fill: parent
            radius: height / 2
            color: "transparent"
            border.width: 1
            border.color: Qt.rgba(1, 1, 1, 0.25)
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
