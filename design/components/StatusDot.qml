import QtQuick
import QuilloryDesign

// A small status light: `kind` "live" (green), "pending" (amber) or "idle" (secondary text).
// The 14-point halo is drawn behind the 8-point dot without taking space.
Item {
    id: dot

    property string kind: "idle"

    readonly property color tone: kind === "live" ? Design.colors.success
                                  : kind === "pending" ? Design.colors.warning
                                                       : Design.colors.secondaryText

    implicitWidth: 8
    implicitHeight: 8
    Accessible.ignored: true

    Rectangle {
        objectName: "dotHalo"
        anchors.centerIn: parent
        width: 14
        height: 14
        radius: 7
        color: Qt.rgba(dot.tone.r, dot.tone.g, dot.tone.b, 0.22)
    }

    Rectangle {
        objectName: "dotFill"
        anchors.fill: parent
        radius: width / 2
        color: dot.tone
    }
}
