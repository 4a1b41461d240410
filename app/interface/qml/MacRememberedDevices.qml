import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QuilloryDesign
import QuilloryInterface

// The "remembered-devices" card: the tablets this computer trusts, which one is the session's,
// and "Forget…" behind our own confirmation, so that a tablet has to pair again with a new code.
CardWindowBody {
    id: view

    property SessionFacade session
    property QtObject actions
    property alias devices: devicesModel

    objectName: "rememberedDevices"
    width: 460

    RememberedDevicesModel {
        id: devicesModel

        session: view.session
        // The confirmation shows exactly while a device waits for it.
        onForgettingChanged: forgetting ? confirmation.open() : confirmation.close()
    }

    QuilloryCardHeader {
        width: parent.width
        height: 150
        title: qsTr("Your devices")
        subtitle: qsTr("iPads paired with this computer")
        art: "clay-tablet"
        onClose: if (view.actions) view.actions.close()
    }

    ColumnLayout {
        x: 16
        width: parent.width - 32
        spacing: 16

        Item { Layout.preferredHeight: 0 }

        DesignNotice {
            objectName: "removalError"
            visible: devicesModel.removalError.length > 0
            message: devicesModel.removalError
        }

        PadCard {
            objectName: "emptyCard"
            Layout.fillWidth: true
            visible: devicesModel.count === 0
            radius: 18
            padding: 0

            RowLayout {
                width: parent.width
                spacing: 14

                IconTile {
                    Layout.margins: 16
                    Layout.rightMargin: 0
                    Layout.alignment: Qt.AlignTop
                    icon: "tablet"
                    dimension: 40
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.topMargin: 16
                    Layout.bottomMargin: 16
                    Layout.rightMargin: 16
                    spacing: 4

                    DText {
                        text: qsTr("Pair your first iPad")
                        font: PadType.headline
                    }

                    DText {
                        Layout.fillWidth: true
                        text: qsTr("Open Quillory on your iPad, choose this computer, then confirm the code on both devices.")
                        font: PadType.subheadline
                        color: Design.colors.secondaryText
                        wrapMode: Text.Wrap
                    }
                }
            }
        }

        PadCard {
            objectName: "deviceCard"
            Layout.fillWidth: true
            visible: devicesModel.count > 0
            radius: 18
            padding: 0

            ListView {
                id: list

                objectName: "deviceList"
                width: parent.width
                implicitHeight: devicesModel.listHeight
                height: implicitHeight
                clip: true
                model: devicesModel
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn; visible: list.contentHeight > list.height }

                Behavior on implicitHeight {
                    enabled: Motion.enabled

                    SpringAnimation {
                        spring: Motion.snappy.spring
                        damping: Motion.snappy.damping
                        mass: Motion.snappy.mass
                        epsilon: 0.25
                    }
                }

                delegate: DeviceRow {}
            }
        }

        // The footnote wraps rather than run past the window's edge at larger text sizes.
        RowLayout {
            id: footnote

            readonly property string text: qsTr("To add a device, connect from Quillory on your iPad.")

            objectName: "footnote"
            Layout.fillWidth: true
            visible: devicesModel.count > 0
            spacing: 6
            Accessible.role: Accessible.StaticText
            Accessible.name: text

            IconView {
                Layout.alignment: Qt.AlignTop
                icon: "connection"
                size: 20
                color: Design.colors.secondaryText
            }

            DText {
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignVCenter
                text: footnote.text
                font: PadType.caption
                color: Design.colors.secondaryText
                wrapMode: Text.Wrap
                Accessible.ignored: true
            }
        }

        Item { Layout.preferredHeight: 0 }
    }

    component DeviceRow: Item {
        id: row

        required property int index
        required property string id
        required property string name
        required property bool current
        required property bool connected
        required property string statusText
        required property bool divider

        width: ListView.view.width
        height: 80 + (divider ? 1 : 0)

        RowLayout {
            x: 16
            width: parent.width - 32
            height: 80
            spacing: 12

            IconTile {
                icon: "tablet"
                dimension: 40
                tint: row.current ? Design.colors.accent : undefined
            }

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 3

                DText {
                    id: nameText

                    objectName: "deviceName"
                    Layout.fillWidth: true
                    text: row.name
                    font: PadType.headline
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight

                    HoverHandler {
                        id: nameHover
                    }

                    DesignToolTip {
                        objectName: "nameToolTip"
                        visible: nameHover.hovered
                        text: row.name
                    }
                }

                RowLayout {
                    spacing: 6

                    StatusDot {
                        visible: row.current
                        kind: row.connected ? "live" : "pending"
                        scale: 0.75
                    }

                    DText {
                        objectName: "deviceStatus"
                        text: row.statusText
                        font: PadType.caption
                        color: Design.colors.secondaryText
                    }
                }
            }

            PillButtonStyle {
                objectName: "forgetButton"
                role: "destructive"
                text: qsTr("Forget…")
                Accessible.name: qsTr("Forget %1").arg(row.name)
                onClicked: devicesModel.requestForget(row.id)
            }
        }

        Rectangle {
            objectName: "deviceDivider"
            x: 68
            y: 80
            width: parent.width - 68
            height: 1
            visible: row.divider
            color: Design.colors.rule
        }
    }

    // Our own confirmation: the name is plain text in the title, never markup.
    Popup {
        id: confirmation

        objectName: "forgetConfirmation"
        anchors.centerIn: parent
        width: 320
        modal: true
        closePolicy: Popup.CloseOnEscape
        padding: 20
        onClosed: devicesModel.cancelForget()

        background: Rectangle {
            radius: 18
            color: Design.colors.surface
            border.width: 1
            border.color: Design.colors.rule
        }

        contentItem: ColumnLayout {
            spacing: 12

            DText {
                objectName: "confirmTitle"
                Layout.fillWidth: true
                text: devicesModel.confirmTitle
                font: PadType.headline
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }

            DText {
                objectName: "confirmMessage"
                Layout.fillWidth: true
                text: devicesModel.confirmMessage
                font: PadType.subheadline
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }

            PillButtonStyle {
                objectName: "confirmForget"
                Layout.fillWidth: true
                role: "destructive"
                expand: true
                text: qsTr("Forget device")
                onClicked: devicesModel.confirmForget()
            }

            PillButtonStyle {
                objectName: "cancelForget"
                Layout.fillWidth: true
                role: "soft"
                expand: true
                text: qsTr("Cancel")
                onClicked: devicesModel.cancelForget()
            }
        }
    }
}
