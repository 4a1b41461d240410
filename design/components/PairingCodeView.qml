import QtQuick
import QuilloryDesign

// A verification code as a row of equal cells, one character each, with a wider gap before the
// fourth; read to assistive technology as one phrase with the characters spaced out.
Item {
    id: view

    property string code

    readonly property var characters: Graphemes.split(code)

    implicitWidth: Math.max(0, characters.length * 52 + (characters.length - 1) * 8
                            + (characters.length > 3 ? 8 : 0))
    implicitHeight: 64
    Accessible.role: Accessible.StaticText
    Accessible.name: qsTr("Verification code %1").arg(characters.join(" "))

    // Cells share what is left after the spacing and the middle gap.
    readonly property real cellWidth: {
        const n = characters.length
        return n > 0 ? Math.max(0, (width - 8 * (n - 1) - (n > 3 ? 8 : 0)) / n) : 0
    }

    Row {
        objectName: "codeRow"
        anchors.fill: parent
        spacing: 8

        Repeater {
            model: view.characters

            Item {
                objectName: "codeCell"
                // The extra width before the fourth cell makes the middle gap.
                width: view.cellWidth + (index === 3 ? 8 : 0)
                height: 64
                Accessible.ignored: true

                WellFinish {
                    anchors.fill: parent
                    anchors.leftMargin: index === 3 ? 8 : 0
                }

                DText {
                    anchors.centerIn: parent
                    anchors.horizontalCenterOffset: index === 3 ? 4 : 0
                    text: modelData
                    font.family: "monospace"
                    font.pixelSize: 22 * Appearance.textScale
                    font.weight: Font.Medium
                    Accessible.ignored: true
                }
            }
        }
    }
}
