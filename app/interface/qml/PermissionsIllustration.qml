import QtQuick
import QuilloryDesign

// A neutral picture of the desktop's permission list: a white card with one row per permission,
// the application's icon, its name and a mock switch that is blue and on while granted. It only
// illustrates; nothing in it takes input. The knobs slide with the window's bouncy spring.
Item {
    id: card

    property bool accessibility: false
    property bool screenRecording: false

    objectName: "permissionsIllustration"
    width: 300
    height: column.implicitHeight + 28

    DesignShadow {
        anchors.fill: parent
        blur: 24
        offsetY: 14
        shapeRadius: 22
        shadowColor: Qt.rgba(0.05, 0.1, 0.5, 0.35)
    }

    Rectangle {
        anchors.fill: parent
        radius: 22
        color: "white"
    }

    component MockSwitch: Item {
        id: mock

        property bool on: false
        property real progress: on ? 1 : 0

        width: 38
        height: 22

        SpringBehavior on progress { motion: Motion.bouncy }

        Rectangle {
            objectName: "mockTrack"
            anchors.fill: parent
            radius: height / 2
            color: Motion.blend(Qt.rgba(0, 0, 0, 0.14), Qt.rgba(0.2, 0.36, 1.0, 1), mock.progress)
        }

        Rectangle {
            y: 3
            x: 2 + (mock.width - 4 - width) * mock.progress
            width: 18
            height: 18
            radius: 9
            color: Qt.rgba(0, 0, 0, 0.2)
        }

        Rectangle {
            objectName: "mockKnob"
            y: 2
            x: 2 + (mock.width - 4 - width) * mock.progress
            width: 18
            height: 18
            radius: 9
            color: "white"
        }
    }

    component IllustrationRow: Column {
        property string title
        property bool granted
        property string switchName

        width: parent.width
        spacing: 8

        DText {
            text: parent.title
            font.family: PadType.body.family
            font.pixelSize: 11 * Appearance.textScale
            font.weight: Font.DemiBold
            color: Qt.rgba(0, 0, 0, 0.45)
        }

        Item {
            width: parent.width
            height: Math.max(26, name.implicitHeight)

            Image {
                id: icon

                anchors.verticalCenter: parent.verticalCenter
                width: 26
                height: 26
                sourceSize: Qt.size(52, 52)
                source: "qrc:/quillory/app-icon/quillory-small.svg"
                smooth: true
            }

            DText {
                id: name

                x: icon.width + 12
                anchors.verticalCenter: parent.verticalCenter
                text: "Quillory"
                font.family: PadType.body.family
                font.pixelSize: 13 * Appearance.textScale
                font.weight: Font.Medium
                color: Qt.rgba(0, 0, 0, 0.85)
            }

            MockSwitch {
                objectName: parent.parent.switchName
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                on: parent.parent.granted
            }
        }
    }

    Column {
        id: column

        x: 16
        y: 14
        width: parent.width - 32
        spacing: 12

        IllustrationRow {
            title: qsTr("Desktop control access")
            granted: card.accessibility
            switchName: "accessibilitySwitch"
        }

        Rectangle {
            width: parent.width
            height: 1
            color: Qt.rgba(0, 0, 0, 0.08)
        }

        IllustrationRow {
            title: qsTr("Screen Recording")
            granted: card.screenRecording
            switchName: "screenRecordingSwitch"
        }
    }
}
