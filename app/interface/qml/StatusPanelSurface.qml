import QtQuick
import QuilloryDesign

// The panel's visible body: the content at its own height on the theme's background, in a
// rounded rectangle with a hairline. The window around it is transparent (or cut to this shape
// where nothing composites). Keys go to the content.
FocusScope {
    id: surface

    property Component content: null
    readonly property Item contentItem: loader.item

    objectName: "statusPanelSurface"
    focus: true
    implicitWidth: 340
    implicitHeight: loader.implicitHeight
    Accessible.role: Accessible.Pane
    Accessible.name: qsTr("Quillory")

    Rectangle {
        objectName: "statusPanelBackground"
        anchors.fill: parent
        radius: 22
        color: Design.colors.background
    }

    Loader {
        id: loader

        width: parent.width
        focus: true
        sourceComponent: surface.content
    }

    Rectangle {
        anchors.fill: parent
        radius: 22
        color: "transparent"
        border.width: 1
        border.color: Qt.rgba(Design.colors.neutral.r, Design.colors.neutral.g,
                              Design.colors.neutral.b, 0.7)
    }
}
