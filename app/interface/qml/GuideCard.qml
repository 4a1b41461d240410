import QtQuick
import QtQuick.Layouts
import QuilloryDesign
import QuilloryInterface

// The permission guide's card: the application icon bobbing beside what to switch on, turning
// into a green check once the permission is on. While the grant cannot finish it shows the steps
// to do by hand; when input stays on XTest after a grant it offers the relaunch. All timing and
// window work is the guide's.
Item {
    id: card

    property GuideModel model
    readonly property bool done: model ? model.done : false
    readonly property bool manual: model ? model.manual && !model.done : false
    readonly property bool relaunchOffered: model ? model.relaunchOffered : false
    readonly property string kindName: model && model.screenRecording ? qsTr("Screen Recording")
                                                                       : qsTr("Desktop control access")
    readonly property bool reduceMotion: Appearance.reduceMotion
    // 0 → 1 as the card turns into its confirmation; a bouncy spring unless Reduce Motion.
    property real confirmation: done ? 1 : 0

    objectName: "guideCard"
    width: 340
    implicitHeight: row.implicitHeight + 28

    SpringBehavior on confirmation { motion: Motion.bouncy }

    ControlSurface {
        objectName: "guideSurface"
        anchors.fill: parent
        radius: 22
    }

    Rectangle {
        objectName: "guideBorder"
        anchors.fill: parent
        radius: 22
        color: "transparent"
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.15)
    }

    RowLayout {
        id: row

        anchors.fill: parent
        anchors.margins: 14
        spacing: 14

        Item {
            objectName: "guideIconArea"
            Layout.alignment: Qt.AlignVCenter
            implicitWidth: 56
            implicitHeight: 56

            Image {
                id: appIcon

                property real bob: 0

                objectName: "guideAppIcon"
                anchors.centerIn: parent
                anchors.verticalCenterOffset: -bob
                width: 52
                height: 52
                sourceSize: Qt.size(104, 104)
                source: "qrc:/quillory/app-icon/quillory.svg"
                smooth: true
                opacity: 1 - card.confirmation
                visible: opacity > 0.01

                SequentialAnimation on bob {
                    objectName: "guideBob"
                    running: !card.reduceMotion && !card.done
                    loops: Animation.Infinite
                    NumberAnimation {
                        to: 4
                        duration: 900
                        easing.type: Easing.BezierSpline
                        easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
                    }
                    NumberAnimation {
                        to: 0
                        duration: 900
                        easing.type: Easing.BezierSpline
                        easing.bezierCurve: [0.42, 0, 0.58, 1, 1, 1]
                    }
                    onRunningChanged: if (!running) appIcon.bob = 0
                }
            }

            Rectangle {
                objectName: "guideSuccessTile"
                anchors.centerIn: parent
                width: 52
                height: 52
                radius: 14
                color: Design.colors.success
                scale: 0.01 + 0.99 * card.confirmation
                opacity: card.confirmation
                visible: opacity > 0.01

                IconImage {
                    anchors.centerIn: parent
                    width: 22
                    height: 22
                    symbol: "checkmark"
                    color: "white"
                }
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 3

            DText {
                objectName: "guideTitle"
                Layout.fillWidth: true
                text: card.done ? qsTr("%1 is on").arg(card.kindName) : qsTr("Switch Quillory on")
                font.family: PadType.body.family
                font.pixelSize: 14 * Appearance.textScale
                font.weight: Font.DemiBold
                wrapMode: Text.Wrap
            }

            DText {
                objectName: "guideHelp"
                Layout.fillWidth: true
                text: {
                    if (card.done)
                        return card.relaunchOffered
                                ? qsTr("Quillory still draws through XTest. Relaunch it for pressure and tilt.")
                                : qsTr("Taking you back to Quillory…")
                    if (card.manual)
                        return qsTr("The grant could not finish. Run these commands in a terminal:")
                    if (card.model && card.model.screenRecording)
                        return qsTr("Sharing the screen needs no permission on this desktop.")
                    return qsTr("Confirm with your password: a udev rule gives you write access to /dev/uinput.")
                }
                font.family: PadType.body.family
                font.pixelSize: 12 * Appearance.textScale
                color: Design.colors.secondaryText
                wrapMode: Text.Wrap
            }

            TextEdit {
                objectName: "guideCommands"
                Layout.fillWidth: true
                Layout.topMargin: 4
                visible: card.manual
                text: card.model ? card.model.manualCommands : ""
                textFormat: TextEdit.PlainText
                readOnly: true
                selectByMouse: true
                wrapMode: TextEdit.WrapAnywhere
                font.family: "monospace"
                font.pixelSize: 10 * Appearance.textScale
                color: Design.colors.primaryText
                selectionColor: Design.colors.accent
                selectedTextColor: Design.colors.onAccent
            }

            PillButtonStyle {
                objectName: "guideRelaunch"
                Layout.topMargin: 4
                visible: card.done && card.relaunchOffered
                role: "soft"
                text: qsTr("Relaunch")
                onClicked: card.model.relaunch()
            }
        }

        FloatingIconButtonStyle {
            objectName: "guideClose"
            Layout.alignment: Qt.AlignVCenter
            visible: !card.done || card.relaunchOffered
            dimension: 22
            text: qsTr("Close")
            onClicked: card.model.close()
            contentItem: Item {
                IconImage {
                    anchors.centerIn: parent
                    width: 10
                    height: 10
                    symbol: "xmark"
                    color: Design.colors.secondaryText
                }
            }
        }
    }
}
