import QtQuick
import QuilloryDesign

// A raised panel in the surface colour, placed behind content (anchors.fill its parent).
Rectangle {
    radius: 16
    color: Design.colors.surface
}
