import QtQuick
import Qt5Compat.GraphicalEffects

// A soft shadow of a rounded rectangle, placed as a sibling behind it with the same geometry.
// It needs the OpenGL renderer; on the software renderer nothing is drawn.
RectangularGlow {
    property real blur: 8
    property real offsetY: 0
    property real shapeRadius: 0
    property color shadowColor: Qt.rgba(0, 0, 0, 0.1)

    glowRadius: blur / 2
    spread: 0
    color: shadowColor
    cornerRadius: shapeRadius + glowRadius
    transform: Translate { y: offsetY }
}
