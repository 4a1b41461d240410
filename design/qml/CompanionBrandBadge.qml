import QtQuick
import QuilloryDesign

// The mark on an accent-coloured rounded square of side `size`.
Rectangle {
    property real size: 40

    implicitWidth: size
    implicitHeight: size
    radius: 0.31 * size
    color: Design.colors.accent
    Accessible.ignored: true

    BrandMark {
        anchors.centerIn: parent
        width: 0.76 * parent.size
        height: width
        color: Design.colors.onAccent
    }
}
