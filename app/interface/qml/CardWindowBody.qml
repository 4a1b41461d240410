import QtQuick
import QuilloryDesign

// The body of a card window: the theme's background in a rectangle of radius 34 with a white
// hairline inside its edge; the content (a header and padded content, stacked) goes inside.
Item {
    id: body

    default property alias content: column.data
    property real radius: 34

    objectName: "cardWindowBody"
    implicitWidth: column.implicitWidth
    implicitHeight: column.implicitHeight

    Rectangle {
        objectName: "cardWindowFill"
        anchors.fill: parent
        radius: body.radius
        color: Design.colors.background
    }

    Column {
        id: column

        width: parent.width
    }

    Rectangle {
        objectName: "cardWindowStroke"
        anchors.fill: parent
        radius: body.radius
        color: "transparent"
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
    }
}
