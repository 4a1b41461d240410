import QtQuick
import QuilloryDesign

// A recessed well in the window background colour with a soft hairline inside its edge, placed
// behind content.
Rectangle {
    radius: 12
    color: Design.colors.background

    Rectangle {
        objectName: "wellBorder"
        anchors.fill: parent
        radius: parent.radius
        color: "transparent"
        border.width: 1
        border.color: Qt.rgba(Design.colors.rule.r, Design.colors.rule.g, Design.colors.rule.b,
                              0.55 * Design.colors.rule.a)
    }
}
