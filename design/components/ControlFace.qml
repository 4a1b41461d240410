import QtQuick
import QuilloryDesign

// The look of a raised key, placed behind a control: a filled face, a slab of a second colour
// showing as a lip under its bottom edge, and a one-point rim. A primary face's lip is 3 points
// deep at rest and 1 point while pressed, by its own `pressed` or by an enclosing DesignPressStyle
// button; a neutral face keeps a 1-point lip.
Item {
    id: face

    property bool primary: false
    property bool pressed: false
    property real radius: 16

    readonly property real depth: primary && !pressed && !DesignControl.pressed ? 3 : 1

    Rectangle {
        objectName: "faceSlab"
        width: face.width
        height: face.height
        y: face.depth
        radius: face.radius
        color: face.primary ? Design.colors.accentStroke : Design.colors.rule

        SpringBehavior on y {
            motion: Motion.press
            epsilon: 0.25
        }
    }

    Rectangle {
        objectName: "faceFill"
        anchors.fill: parent
        radius: face.radius
        color: face.primary ? Design.colors.accent : Design.colors.controlFill
    }

    Rectangle {
        objectName: "faceRim"
        anchors.fill: parent
        radius: face.radius
        color: "transparent"
        border.width: 1
        border.color: face.primary ? Qt.rgba(1, 1, 1, 0.28)
                                   : Qt.rgba(Design.colors.rule.r, Design.colors.rule.g,
                                             Design.colors.rule.b, 0.7)
    }
}
