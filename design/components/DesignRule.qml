import QtQuick
import QtQuick.Layouts
import QuilloryDesign

// A one-point hairline in the rule colour across its parent's width (a layout's, through
// fillWidth).
Rectangle {
    width: parent ? parent.width : 0
    implicitHeight: 1
    height: 1
    Layout.fillWidth: true
    color: Design.colors.rule
    Accessible.ignored: true
}
