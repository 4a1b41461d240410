import QtQuick
import QuilloryDesign

// The rounded surface behind a control. There is no glass on this desktop, so the automatic
// mode draws the opaque fill with its hairline; "fallback" keeps a translucent fill, unless the
// user asked for less transparency or more contrast.
Item {
    id: surface

    // Kept for callers that pass it; only glass reacts to the pointer.
    property bool interactive: false
    property bool prominent: false
    property real radius: 0

    readonly property bool opaque: DesignControl.materialMode !== "fallback"
                                   || Appearance.reduceTransparency || Appearance.highContrast
    readonly property color fillColor: {
        if (prominent)
            return Design.colors.accent
        const fill = Design.colors.controlFill
        return opaque ? fill : Qt.rgba(fill.r, fill.g, fill.b, 0.85)
    }

    Rectangle {
        objectName: "surfaceFill"
        anchors.fill: parent
        radius: surface.radius
        color: surface.fillColor
    }

    Rectangle {
        objectName: "surfaceBorder"
        anchors.fill: parent
        radius: surface.radius
        color: "transparent"
        visible: surface.opaque || !surface.prominent
        border.width: 1
        border.color: Design.colors.rule
    }
}
