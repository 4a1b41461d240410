import QtQuick
import QuilloryDesign

// The brand mark on an accent tile. While `searching`, three rings pulse outwards from behind it
// and the tile tilts and lifts back and forth; with reduced motion it stands still.
Item {
    id: tile

    property real dimension: 72
    property bool searching: false

    readonly property bool animating: searching && !Appearance.reduceMotion
    // 0 at rest, 1 in the tilted, lifted pose.
    property real phase: 0

    implicitWidth: 1.8 * dimension
    implicitHeight: 1.8 * dimension
    Accessible.ignored: true

    Item {
        id: rings

        property real time: 0

        anchors.fill: parent
        visible: tile.animating

        FrameAnimation {
            running: rings.visible
            onTriggered: rings.time = Date.now() / 1000
        }

        Repeater {
            model: 3

            Rectangle {
                readonly property real progress: {
                    const p = rings.time / 3.2 + index / 3
                    return p - Math.floor(p)
                }

                anchors.fill: parent
                radius: width / 2
                color: "transparent"
                border.width: 1.5
                border.color: Design.colors.accent
                scale: 0.45 + 0.8 * progress
                opacity: 0.55 * (1 - progress)
            }
        }
    }

    DesignShadow {
        anchors.fill: face
        blur: 0.18 * tile.dimension
        offsetY: 0.1 * tile.dimension
        shapeRadius: face.radius
        shadowColor: Qt.rgba(Design.colors.accent.r, Design.colors.accent.g,
                             Design.colors.accent.b, 0.45)
        rotation: face.rotation
    }

    Rectangle {
        id: face

        objectName: "vorelFace"
        anchors.centerIn: parent
        anchors.verticalCenterOffset: -0.05 * tile.dimension * tile.phase
        width: tile.dimension
        height: tile.dimension
        radius: 0.3 * tile.dimension
        color: Design.colors.accent
        rotation: -3 * tile.phase

        BrandMark {
            anchors.fill: parent
            anchors.margins: 0.13 * tile.dimension
            color: Design.colors.onAccent
        }

        TopRim {
            anchors.fill: parent
            radius: face.radius
            color: Qt.rgba(1, 1, 1, 0.25)
        }
    }

    SequentialAnimation on phase {
        running: tile.animating && tile.visible
        loops: Animation.Infinite
        onRunningChanged: if (!running) tile.phase = 0

        NumberAnimation {
            to: 1
            duration: 2000
            easing.type: Easing.BezierSpline
            easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
        }
        NumberAnimation {
            to: 0
            duration: 2000
            easing.type: Easing.BezierSpline
            easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
        }
    }
}
