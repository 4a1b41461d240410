import QtQuick
import QuilloryDesign

// An icon role centred on a rounded square: white on `tint` when one is given (any colour, even
// a clear one), else the primary text colour on the neutral fill.
Rectangle {
    id: tile

    property string icon
    property var tint: undefined
    property real dimension: 40

    readonly property bool tinted: tint !== undefined && tint !== null

    implicitWidth: dimension
    implicitHeight: dimension
    radius: 0.3 * dimension
    color: tinted ? tint : Design.colors.neutralFill
    Accessible.ignored: true

    IconView {
        objectName: "tileIcon"
        anchors.centerIn: parent
        icon: tile.icon
        size: 0.56 * tile.dimension
        color: tile.tinted ? "white" : Design.colors.primaryText
    }
}
