import QtQuick
import QuilloryDesign

// An option chip: a capsule with a round check before its label. Not checkable: it shows `on`
// and a click only reports itself, so the owner flips its own value and the chip follows it.
// The whole capsule, paddings included, takes the click.
DesignPressStyle {
    id: chip

    property bool on: false
    // 0 off, 1 on; springs between them unless motion is reduced.
    property real progress: on ? 1 : 0

    objectName: "optionChip"
    checkable: false
    Accessible.role: Accessible.CheckBox
    Accessible.name: text
    Accessible.checkable: true
    Accessible.checked: on
    Accessible.selected: on

    SpringBehavior on progress { motion: Motion.bouncy }

    contentItem: Item {
        implicitWidth: face.implicitWidth + 7 + 14
        implicitHeight: 36

        Rectangle {
            objectName: "chipFill"
            anchors.fill: parent
            radius: height / 2
            color: Qt.rgba(Design.colors.neutralFill.r, Design.colors.neutralFill.g,
                           Design.colors.neutralFill.b,
                           Design.colors.neutralFill.a * (chip.pointerHovered ? 1.0 : 0.7))
        }

        Rectangle {
            objectName: "chipBorder"
            anchors.fill: parent
            radius: height / 2
            color: "transparent"
            border.width: 1
            border.color: Qt.rgba(Design.colors.accent.r, Design.colors.accent.g,
                                  Design.colors.accent.b, 0.35 * chip.progress)
        }

        Row {
            id: face

            x: 7
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8

            Item {
                objectName: "chipIndicator"
                width: 22
                height: 22
                anchors.verticalCenter: parent.verticalCenter

                Rectangle {
                    anchors.fill: parent
                    radius: width / 2
                    color: Qt.rgba(Design.colors.accent.r, Design.colors.accent.g,
                                   Design.colors.accent.b, chip.progress)
                    border.width: 1.5
                    border.color: Motion.blend(
                        Qt.rgba(Design.colors.secondaryText.r, Design.colors.secondaryText.g,
                                Design.colors.secondaryText.b, 0.6),
                        Design.colors.accent, chip.progress)
                }

                IconImage {
                    objectName: "chipCheck"
                    anchors.centerIn: parent
                    width: 11
                    height: 11
                    symbol: "checkmark"
                    color: Design.colors.onAccent
                    scale: Math.max(0.00001, chip.progress)
                    opacity: Math.min(1, Math.max(0, chip.progress))
                    visible: chip.progress > 0.001
                }
            }

            DText {
                objectName: "chipLabel"
                anchors.verticalCenter: parent.verticalCenter
                text: chip.text
                font.family: PadType.body.family
                font.pixelSize: 13 * Appearance.textScale
                font.weight: Font.Medium
                color: chip.on ? Design.colors.primaryText : Design.colors.secondaryText
                maximumLineCount: 1
            }
        }
    }

    background: FocusRing {
        control: chip
        shapeRadius: height / 2
    }
}
