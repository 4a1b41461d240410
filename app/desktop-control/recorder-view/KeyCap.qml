import QtQuick
import QtQuick.Shapes
import QuilloryDesign

// One key cap: a key's symbol on a raised face with a hard lower edge, or the dashed "?" that
// waits for the next key.
Item {
    id: cap

    property string text
    property bool placeholder: false
    property int pixelSize: 22

    readonly property real radius: 12
    readonly property real lineWidth: 1.5

    implicitWidth: Math.max(56, label.implicitWidth + 28)
    implicitHeight: 56

    // The key's lower edge, two points below its face.
    Rectangle {
        objectName: "capEdge"
        width: parent.width
        height: parent.height
        y: 2
        radius: cap.radius
        color: Qt.rgba(0, 0, 0, 0.12)
        visible: !cap.placeholder
    }

    Rectangle {
        objectName: "capFace"
        anchors.fill: parent
        radius: cap.radius
        color: cap.placeholder ? "transparent" : Design.colors.surface
        border.width: cap.placeholder ? 0 : cap.lineWidth
        border.color: Qt.rgba(Design.colors.primaryText.r, Design.colors.primaryText.g,
                              Design.colors.primaryText.b, 0.1)
    }

    Shape {
        objectName: "capDashes"
        anchors.fill: parent
        visible: cap.placeholder

        ShapePath {
            id: outline

            readonly property real inset: cap.lineWidth / 2
            readonly property real r: cap.radius - inset
            readonly property real w: cap.width - inset
            readonly property real h: cap.height - inset

            strokeColor: Design.colors.secondaryText
            strokeWidth: cap.lineWidth
            strokeStyle: ShapePath.DashLine
            // In units of the line width: 4 points on, 3 off.
            dashPattern: [4 / cap.lineWidth, 3 / cap.lineWidth]
            fillColor: "transparent"
            startX: outline.inset + outline.r
            startY: outline.inset

            PathLine { x: outline.w - outline.r; y: outline.inset }
            PathArc { x: outline.w; y: outline.inset + outline.r; radiusX: outline.r; radiusY: outline.r }
            PathLine { x: outline.w; y: outline.h - outline.r }
            PathArc { x: outline.w - outline.r; y: outline.h; radiusX: outline.r; radiusY: outline.r }
            PathLine { x: outline.inset + outline.r; y: outline.h }
            PathArc { x: outline.inset; y: outline.h - outline.r; radiusX: outline.r; radiusY: outline.r }
            PathLine { x: outline.inset; y: outline.inset + outline.r }
            PathArc { x: outline.inset + outline.r; y: outline.inset; radiusX: outline.r; radiusY: outline.r }
        }
    }

    DText {
        id: label

        anchors.centerIn: parent
        text: cap.text
        font.family: Qt.application.font.family
        font.weight: Font.Medium
        font.pixelSize: cap.pixelSize
        color: cap.placeholder ? Design.colors.secondaryText : Design.colors.primaryText
    }
}
