import QtQuick

// A one-point rim just inside the edge of a rounded shape, fading from `color` at the top edge to
// clear at the vertical centre. It is the edge of a fading gradient that a copy of the shape's
// own `fill`, one point in, covers; so it belongs right above that fill.
Item {
    id: rim

    property real radius: 0
    property color color: Qt.rgba(1, 1, 1, 0.22)
    property color fill: "transparent"

    Rectangle {
        anchors.fill: parent
        radius: rim.radius
        gradient: Gradient {
            GradientStop { position: 0; color: rim.color }
            GradientStop { position: 0.5; color: Qt.rgba(rim.color.r, rim.color.g, rim.color.b, 0) }
        }
    }

    Rectangle {
        anchors.fill: parent
        anchors.margins: 1
        radius: Math.max(0, rim.radius - 1)
        color: rim.fill
    }
}
