import QtQuick
import QtQuick.Layouts
import QuilloryDesign

// A one-point hairline in the rule colour, as wide as its container makes it.
Rectangle {
    implicitHeight: 1
    height: 1
    Layout.fillWidth: true
    color: Design.colors.rule
    Accessible.ignored: true
}
