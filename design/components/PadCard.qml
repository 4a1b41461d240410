import QtQuick
import QtQuick.Templates as T
import QuilloryDesign

// A card behind one content item: the surface colour in a rounded rectangle, a hairline inside
// its edge and a soft shadow; the content is inset by `padding` on every side.
T.Pane {
    id: card

    property real radius: 28

    padding: 8
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    background: Item {
        DesignShadow {
            anchors.fill: parent
            blur: 16
            offsetY: 8
            shapeRadius: card.radius
            shadowColor: Qt.rgba(0, 0, 0, 0.05)
        }

        Rectangle {
            objectName: "cardFill"
            anchors.fill: parent
            radius: card.radius
            color: Design.colors.surface
        }

        Rectangle {
            objectName: "cardBorder"
            anchors.fill: parent
            radius: card.radius
            color: "transparent"
            border.width: 0.5
            border.color: Qt.rgba(Design.colors.primaryText.r, Design.colors.primaryText.g,
                                  Design.colors.primaryText.b, 0.06)
        }
    }
}
