import QtQuick
import QtQuick.Layouts
import QuilloryDesign

// A section title in capitals with an optional accessory (its children) at the trailing edge.
Item {
    id: header

    property string title
    default property alias accessory: accessoryHolder.data

    implicitWidth: row.implicitWidth + 24
    implicitHeight: row.implicitHeight + 16
    Accessible.role: Accessible.Heading
    Accessible.name: title.toUpperCase()

    RowLayout {
        id: row

        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        anchors.topMargin: 10
        anchors.bottomMargin: 6
        spacing: 8

        DText {
            objectName: "headerTitle"
            Layout.fillWidth: true
            text: header.title.toUpperCase()
            font: Qt.font({ family: PadType.footnoteSemibold.family,
                            pixelSize: PadType.footnoteSemibold.pixelSize,
                            weight: PadType.footnoteSemibold.weight, letterSpacing: 0.4 })
            color: Design.colors.secondaryText
            elide: Text.ElideRight
            Accessible.ignored: true
        }

        Item {
            id: accessoryHolder

            implicitWidth: children.length > 0 ? children[0].implicitWidth : 0
            implicitHeight: children.length > 0 ? children[0].implicitHeight : 0
        }
    }
}
