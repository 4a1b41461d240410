import QtQuick
import QuilloryDesign
import QuilloryInterface

// The permissions the application needs: only what needs action under "Permissions", or both
// rows with their grants (`showGranted`). Polls while `active`.
PadCard {
    id: card

    property SessionFacade session
    property bool active: false
    property bool showGranted: false
    property alias rows: rowsModel

    objectName: "permissions"
    visible: rowsModel.cardVisible
    radius: 18
    padding: 2

    PermissionRowsModel {
        id: rowsModel

        session: card.session
        active: card.active
        showGranted: card.showGranted
    }

    Column {
        width: card.availableWidth

        PadSectionHeader {
            width: parent.width
            visible: !card.showGranted
            title: qsTr("Permissions")
        }

        PadRow {
            objectName: "accessibilityRow"
            width: parent.width
            visible: rowsModel.accessibilityRowVisible
            title: qsTr("Desktop control access")
            detail: rowsModel.accessibility ? qsTr("Allowed")
                                            : qsTr("Lets the pen and shortcuts control this computer")
            leading: IconTile {
                icon: "position"
                dimension: 36
                tint: rowsModel.accessibility ? Design.colors.success : Design.colors.warning
            }
            trailing: Loader {
                sourceComponent: rowsModel.accessibility ? grantedMark : allowAccess
            }
        }

        Rectangle {
            x: 62
            width: parent.width - 62
            height: 1
            visible: rowsModel.dividerVisible
            color: Design.colors.rule
        }

        PadRow {
            objectName: "screenRecordingRow"
            width: parent.width
            visible: rowsModel.screenRecordingRowVisible
            title: qsTr("Screen Recording")
            detail: rowsModel.needsRelaunch ? qsTr("Reopen Quillory to finish")
                    : rowsModel.screenRecording ? qsTr("Allowed")
                                                : qsTr("Only for Studio: shows this computer on your iPad")
            leading: IconTile {
                icon: "fullScreen"
                dimension: 36
                tint: rowsModel.screenRecording && !rowsModel.needsRelaunch
                      ? Design.colors.success : Design.colors.warning
            }
            trailing: Loader {
                sourceComponent: rowsModel.needsRelaunch ? reopen
                                 : rowsModel.screenRecording ? grantedMark : allowScreen
            }
        }
    }

    Component {
        id: grantedMark

        IconView {
            icon: "confirmed"
            size: 18
            color: Design.colors.success
        }
    }

    Component {
        id: allowAccess

        PillButtonStyle {
            objectName: "allowAccessibility"
            role: "soft"
            text: qsTr("Allow…")
            onClicked: rowsModel.allowAccessibility()
        }
    }

    Component {
        id: allowScreen

        PillButtonStyle {
            objectName: "allowScreenRecording"
            role: "soft"
            text: qsTr("Allow…")
            onClicked: rowsModel.allowScreenRecording()
        }
    }

    Component {
        id: reopen

        PillButtonStyle {
            objectName: "reopen"
            role: "soft"
            text: qsTr("Reopen")
            onClicked: rowsModel.reopen()
        }
    }
}
