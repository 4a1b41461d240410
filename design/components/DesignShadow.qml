import QtQuick
import QuilloryDesign

// A soft shadow of a rounded rectangle, placed as a sibling behind it with the same geometry:
// `blur` is the shadow's blur radius (a Gaussian of half that deviation), `offsetY` moves it down.
Item {
    property real blur: 8
    property real offsetY: 0
    property real shapeRadius: 0
    property color shadowColor: Qt.rgba(0, 0, 0, 0.1)

    GaussianShadow {
        id: shadow

        x: -padding
        y: -padding + parent.offsetY
        width: parent.width + 2 * padding
        height: parent.height + 2 * padding
        blur: parent.blur
        shapeRadius: parent.shapeRadius
        color: parent.shadowColor
    }
}
