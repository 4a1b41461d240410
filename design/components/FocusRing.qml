import QtQuick
import QuilloryDesign

// The keyboard focus mark of a control: an accent outline just outside its shape.
Rectangle {
    property Item control: parent
    property real shapeRadius: height / 2

    anchors.fill: parent
    anchors.margins: -3
    radius: shapeRadius + 3
    color: "transparent"
    border.width: 2
    border.color: Design.colors.accent
    visible: control && control.visualFocus === true
}
